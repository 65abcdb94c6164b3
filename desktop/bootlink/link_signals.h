#pragma once
// The change count of a loader link. Whoever changes a field that the
// link's waits look at (a reply, readerRunning, the port, flashState,
// linkClosed) announces it; a waiter takes the count before it looks, so a
// change made between its look and its wait has moved the count already and
// the wait passes at once: no change is missed. Any thread.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace corvash::bootlink {

class LinkSignals {
 public:
  // How many changes were announced so far.
  uint64_t Count() const;
  // Announces a change and wakes every waiter. Call it after the change.
  void Notify();
  // Waits until a change after `seen` is announced or `ms` system
  // milliseconds pass (common::kInfinite: no limit), but at least one real
  // millisecond, so that a tiny time scale turns no wait into a spin. True
  // when a change came.
  bool Wait(uint64_t seen, uint32_t ms);
  // The same up to a real deadline.
  bool WaitUntil(uint64_t seen, std::chrono::steady_clock::time_point deadline);
  // How many threads wait now (tests use it to know that a waiter blocks).
  uint32_t WaiterCount() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t count_ = 0;
  uint32_t waiters_ = 0;
};

}  // namespace corvash::bootlink
