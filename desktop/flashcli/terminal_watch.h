#pragma once
// The terminal flasher's watch of a flash: the download's progress goes to
// the report as bytes of the first load, completion deletes the record of
// the pending flash, and a watchdog thread of its own ends the watch as
// failed when it expires (after LinkWatchdogExpired, as the wizard's page
// does), so that every wait of the flash has an end. Every member may be
// called from any thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/watchdog_timer.h"

namespace corvash::bootlink {
class LoaderLink;
}

namespace corvash::flashcli {

class ProgressReport;

enum class WatchEnd { kRunning, kCompleted, kFailed, kInterrupted };

class TerminalWatch final : public bootlink::FlashWatch {
 public:
  // `loadBytes`: the size of one load, which the percentages are of.
  TerminalWatch(bootlink::LoaderLink& link, ProgressReport& report, uint64_t loadBytes);
  TerminalWatch(const TerminalWatch&) = delete;
  TerminalWatch& operator=(const TerminalWatch&) = delete;

  void SetBarRange(uint32_t low, uint32_t high) override;
  void SetBarPosition(uint32_t position) override;
  void SetFigure(uint32_t percent) override;
  void Hide() override {}
  void FlashCompleted() override;
  void ReportFault(bootlink::FlashFault fault) override;
  void ArmWatchdog(uint32_t ms) override;
  void KillWatchdog() override;

  // The first end counts; it stops the watchdog.
  void End(WatchEnd how);
  // Waits up to `ms` real milliseconds; the end so far.
  WatchEnd WaitEnd(std::chrono::milliseconds ms) const;
  bool ImageNotOpened() const;

 private:
  void WatchdogExpired();

  bootlink::LoaderLink& link_;
  ProgressReport& report_;
  const uint64_t loadBytes_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::recursive_mutex dispatch_;  // the expiry and End never interleave
  WatchEnd end_ = WatchEnd::kRunning;
  bool imageNotOpened_ = false;
  bootlink::WatchdogTimer watchdog_{[this] { WatchdogExpired(); }};  // last: it calls into the rest
};

}  // namespace corvash::flashcli
