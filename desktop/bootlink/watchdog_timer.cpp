#include "desktop/bootlink/watchdog_timer.h"

#include "common/clock.h"

namespace corvash::bootlink {

WatchdogTimer::WatchdogTimer(std::function<void()> expired)
    : expired_(std::move(expired)), thread_([this] { Loop(); }) {}

WatchdogTimer::~WatchdogTimer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void WatchdogTimer::Arm(uint32_t ms) {
  {
    std::lock_guard lock(mutex_);
    armed_ = true;
    period_ = ms;
    deadline_ = common::DeadlineAfter(ms);
    ++generation_;
  }
  changed_.notify_all();
}

void WatchdogTimer::Kill() {
  {
    std::lock_guard lock(mutex_);
    armed_ = false;
    ++generation_;
  }
  changed_.notify_all();
}

bool WatchdogTimer::Armed() const {
  std::lock_guard lock(mutex_);
  return armed_;
}

uint32_t WatchdogTimer::Period() const {
  std::lock_guard lock(mutex_);
  return period_;
}

// Sleeps until the armed deadline; a re-arm or a kill (a new generation)
// starts the wait anew.
void WatchdogTimer::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || armed_; });
    if (stopping_) return;
    const uint64_t generation = generation_;
    const bool changed =
        changed_.wait_until(lock, deadline_, [&] { return stopping_ || generation_ != generation; });
    if (stopping_) return;
    if (changed) continue;
    armed_ = false;
    lock.unlock();
    expired_();
    lock.lock();
  }
}

}  // namespace corvash::bootlink
