#pragma once
// A one-shot timer on a thread of its own, for a flash watch that has no
// window to keep its watchdog: Arm (re)starts it, Kill stops it, and when
// it runs out `expired` is called on the timer's thread (outside the
// timer's lock, so it may Arm or Kill). A re-arm or a kill that comes while
// the expiry is being decided wins: the expiry is dropped. Every member
// may be called from any thread; the destructor stops the thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace corvash::bootlink {

class WatchdogTimer {
 public:
  explicit WatchdogTimer(std::function<void()> expired);
  ~WatchdogTimer();
  WatchdogTimer(const WatchdogTimer&) = delete;
  WatchdogTimer& operator=(const WatchdogTimer&) = delete;

  // Fires once after `ms` system milliseconds (scaled), replacing any
  // earlier period.
  void Arm(uint32_t ms);
  void Kill();
  bool Armed() const;
  // The last period armed, in system milliseconds.
  uint32_t Period() const;

 private:
  void Loop();

  std::function<void()> expired_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  uint32_t period_ = 0;
  std::chrono::steady_clock::time_point deadline_{};
  uint64_t generation_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace corvash::bootlink
