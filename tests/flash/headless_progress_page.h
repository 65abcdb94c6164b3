#pragma once
// The flash progress page without a display, as the flash tests watch a
// flash: it keeps the bar, the figure and the result as plain values and
// runs its watchdog on a thread of its own, whose expiry does what page 102
// does (LinkWatchdogExpired, then the end with 2). Completion deletes the
// record of the pending flash and a reported fault shows its screen, as the
// page does. Every member may be called from any thread.
#include <condition_variable>
#include <functional>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/watchdog_timer.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"

namespace corvash::bootlink {
class LoaderLink;
}

namespace corvash::test {

class HeadlessProgressPage final : public bootlink::FlashWatch {
 public:
  // The page records the values of `run` and shows its screens through `host`.
  HeadlessProgressPage(bootlink::LoaderLink& link, session::UpdateSession& run, session::PageHost& host);
  HeadlessProgressPage(const HeadlessProgressPage&) = delete;
  HeadlessProgressPage& operator=(const HeadlessProgressPage&) = delete;

  void SetBarRange(uint32_t low, uint32_t high) override;
  void SetBarPosition(uint32_t position) override;
  void SetFigure(uint32_t percent) override;
  void Hide() override;
  void FlashCompleted() override;
  void ReportFault(bootlink::FlashFault fault) override;
  void ArmWatchdog(uint32_t ms) override;
  void KillWatchdog() override;
  // Records the first result, stops the watchdog (timers end with the page)
  // and wakes WaitEnded.
  void End(int result);

  // What a user would see.
  struct View {
    uint32_t barLow = 0;
    uint32_t barHigh = 100;
    uint32_t barPosition = 0;
    uint32_t figure = 0;
    bool hidden = false;
    bool ended = false;
    int result = 0;
    bool timer2Armed = false;
    uint32_t timer2Period = 0;  // last armed period, system ms
  };
  View Snapshot() const;
  // Every figure shown, in order (the first 4096).
  std::vector<uint32_t> FigureHistory() const;
  // Waits up to `ms` system milliseconds for the page to end.
  bool WaitEnded(uint32_t ms) const;
  // Waits without a limit; returns the result.
  int WaitResult() const;
  const session::UpdateSession& Run() const { return run_; }

 private:
  void WatchdogExpired();

  bootlink::LoaderLink& link_;
  session::UpdateSession& run_;
  session::PageHost& host_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  // Serialises End and the timer's expiry, as a window's messages are.
  std::recursive_mutex dispatch_;
  View view_;
  std::vector<uint32_t> figures_;
  bootlink::WatchdogTimer watchdog_{[this] { WatchdogExpired(); }};  // last: it calls into the rest
};

using FlashWorker = std::function<void()>;

// Opens `page` as page 102 opens: puts it on `link` as the flash's watch,
// records the pending flash (WriteFlashSettings), arms its watchdog at
// 90000 ms and starts `worker` on a new thread (the record is written first,
// since the normal run's worker rewrites the device fields it is made of).
// Blocks until the page ends, withdraws it from the link, waits for the
// worker to finish and returns the page's result. The workers end on their
// own once the page has ended (every wait of theirs ends when linkClosed is
// set).
int RunHeadlessProgressPage(HeadlessProgressPage& page, bootlink::LoaderLink& link, const FlashWorker& worker);

}  // namespace corvash::test
