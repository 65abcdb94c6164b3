#include "desktop/flashcli/terminal_watch.h"

#include "common/clock.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/flashcli/progress_report.h"
#include "desktop/session/flash_settings.h"

namespace corvash::flashcli {

TerminalWatch::TerminalWatch(bootlink::LoaderLink& link, ProgressReport& report, uint64_t loadBytes)
    : link_(link), report_(report), loadBytes_(loadBytes), timer_([this] { TimerLoop(); }) {}

TerminalWatch::~TerminalWatch() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  timer_.join();
}

void TerminalWatch::SetBarRange(uint32_t, uint32_t) {}

void TerminalWatch::SetBarPosition(uint32_t) {}

void TerminalWatch::SetFigure(uint32_t percent) { report_.Progress(loadBytes_ * percent / 100); }

void TerminalWatch::FlashCompleted() {
  session::DeleteFlashSettings();
  End(WatchEnd::kCompleted);
}

void TerminalWatch::ReportFault(bootlink::FlashFault fault) {
  std::lock_guard lock(mutex_);
  if (fault == bootlink::FlashFault::kImageNotOpened) imageNotOpened_ = true;
}

void TerminalWatch::ArmWatchdog(uint32_t ms) {
  {
    std::lock_guard lock(mutex_);
    if (end_ != WatchEnd::kRunning) return;
    armed_ = true;
    deadline_ = platform::DeadlineAfter(ms);
    ++generation_;
  }
  changed_.notify_all();
}

void TerminalWatch::KillWatchdog() {
  {
    std::lock_guard lock(mutex_);
    armed_ = false;
    ++generation_;
  }
  changed_.notify_all();
}

void TerminalWatch::End(WatchEnd how) {
  std::lock_guard dispatch(dispatch_);
  {
    std::lock_guard lock(mutex_);
    if (end_ != WatchEnd::kRunning) return;
    end_ = how;
    armed_ = false;
    ++generation_;
  }
  changed_.notify_all();
}

WatchEnd TerminalWatch::WaitEnd(std::chrono::milliseconds ms) const {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, ms, [this] { return end_ != WatchEnd::kRunning; });
  return end_;
}

bool TerminalWatch::ImageNotOpened() const {
  std::lock_guard lock(mutex_);
  return imageNotOpened_;
}

// Sleeps until the armed deadline; a re-arm or a kill starts the wait anew.
void TerminalWatch::TimerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || armed_; });
    if (stopping_) return;
    const uint64_t generation = generation_;
    const bool changed =
        changed_.wait_until(lock, std::chrono::steady_clock::time_point(deadline_), [&] { return stopping_ || generation_ != generation; });
    if (stopping_) return;
    if (changed) continue;
    lock.unlock();
    {
      std::lock_guard dispatch(dispatch_);
      bool fire = false;
      {
        std::lock_guard state(mutex_);
        fire = end_ == WatchEnd::kRunning && armed_ && generation_ == generation;
      }
      if (fire) {
        bootlink::LinkWatchdogExpired(link_, *this);
        End(WatchEnd::kFailed);
      }
    }
    lock.lock();
  }
}

}  // namespace corvash::flashcli
