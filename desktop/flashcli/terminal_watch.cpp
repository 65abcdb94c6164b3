#include "desktop/flashcli/terminal_watch.h"

#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/flashcli/progress_report.h"
#include "desktop/session/flash_settings.h"

namespace corvash::flashcli {

TerminalWatch::TerminalWatch(bootlink::LoaderLink& link, ProgressReport& report, uint64_t loadBytes)
    : link_(link), report_(report), loadBytes_(loadBytes) {}

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
  std::lock_guard lock(mutex_);
  if (end_ == WatchEnd::kRunning) watchdog_.Arm(ms);
}

void TerminalWatch::KillWatchdog() { watchdog_.Kill(); }

void TerminalWatch::End(WatchEnd how) {
  std::lock_guard dispatch(dispatch_);
  {
    std::lock_guard lock(mutex_);
    if (end_ != WatchEnd::kRunning) return;
    end_ = how;
  }
  watchdog_.Kill();
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

// The expiry and End never interleave; a watch that has ended stays ended.
void TerminalWatch::WatchdogExpired() {
  std::lock_guard dispatch(dispatch_);
  {
    std::lock_guard lock(mutex_);
    if (end_ != WatchEnd::kRunning) return;
  }
  bootlink::LinkWatchdogExpired(link_, *this);
  End(WatchEnd::kFailed);
}

}  // namespace corvash::flashcli
