#pragma once
// Events with Win32 semantics: manual- or auto-reset, set, reset, pulse and
// waits with a time limit in system milliseconds (scaled by the clock), plus
// a process-wide table of named events. All members are thread-safe.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/clock.h"

namespace corvash::common {

class Event {
 public:
  Event(bool manualReset, bool initialState);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Signals. An auto-reset event stays signalled until exactly one waiter passes.
  void Set();
  void Reset();
  // Releases the waiters present now (all for manual reset, one for auto
  // reset) and leaves the event not signalled; with no waiter it does nothing.
  void Pulse();
  // Waits up to `timeoutMs` (kInfinite: no limit). True when signalled.
  bool Wait(uint32_t timeoutMs);
  bool IsSignalled() const;
  // How many threads wait now (tests use it to know that waiters are blocked).
  uint32_t WaiterCount() const;

 private:
  const bool manualReset_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;
  uint32_t waiters_ = 0;
  uint64_t pulseGeneration_ = 0;  // manual reset: every waiter of a generation passes
  uint32_t pulseTokens_ = 0;      // auto reset: one pass per pulse
};

// Creates the named event, or returns the existing one of that name (its
// reset kind and state unchanged), as CreateEventA with a name does.
std::shared_ptr<Event> CreateNamedEvent(const std::string& name, bool manualReset, bool initialState);
// The named event, or null when none of that name exists.
std::shared_ptr<Event> OpenNamedEvent(const std::string& name);
// Drops every name from the table (events stay alive while held). For tests.
void ClearNamedEvents();

}  // namespace corvash::common
