#include "tests/flash/headless_progress_page.h"

#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/session/flash_settings.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"
#include "common/clock.h"

namespace corvash::test {
namespace {
constexpr size_t kFigureHistoryLimit = 4096;
}

HeadlessProgressPage::HeadlessProgressPage(bootlink::LoaderLink& link, session::UpdateSession& run,
                                           session::PageHost& host)
    : link_(link), run_(run), host_(host) {}

void HeadlessProgressPage::SetBarRange(uint32_t low, uint32_t high) {
  std::lock_guard lock(mutex_);
  view_.barLow = low;
  view_.barHigh = high;
}

void HeadlessProgressPage::SetBarPosition(uint32_t position) {
  std::lock_guard lock(mutex_);
  view_.barPosition = position;
}

void HeadlessProgressPage::SetFigure(uint32_t percent) {
  std::lock_guard lock(mutex_);
  view_.figure = percent;
  if (figures_.size() < kFigureHistoryLimit) figures_.push_back(percent);
}

void HeadlessProgressPage::Hide() {
  std::lock_guard lock(mutex_);
  view_.hidden = true;
}

void HeadlessProgressPage::End(int result) {
  std::lock_guard dispatch(dispatch_);
  {
    std::lock_guard lock(mutex_);
    if (view_.ended) return;
    view_.ended = true;
    view_.result = result;
  }
  watchdog_.Kill();  // timers end with the page
  changed_.notify_all();
}

void HeadlessProgressPage::FlashCompleted() {
  session::DeleteFlashSettings();
  Hide();
  End(bootlink::kProgressSucceeded);
}

void HeadlessProgressPage::ReportFault(bootlink::FlashFault fault) {
  if (fault == bootlink::FlashFault::kImageNotOpened) host_.RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow(run_.flow);
}

void HeadlessProgressPage::ArmWatchdog(uint32_t ms) {
  std::lock_guard lock(mutex_);
  if (!view_.ended) watchdog_.Arm(ms);
}

void HeadlessProgressPage::KillWatchdog() { watchdog_.Kill(); }

HeadlessProgressPage::View HeadlessProgressPage::Snapshot() const {
  std::lock_guard lock(mutex_);
  View view = view_;
  view.timer2Armed = watchdog_.Armed();
  view.timer2Period = watchdog_.Period();
  return view;
}

std::vector<uint32_t> HeadlessProgressPage::FigureHistory() const {
  std::lock_guard lock(mutex_);
  return figures_;
}

bool HeadlessProgressPage::WaitEnded(uint32_t ms) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, common::DeadlineAfter(ms), [this] { return view_.ended; });
}

int HeadlessProgressPage::WaitResult() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return view_.ended; });
  return view_.result;
}

// The expiry runs under the dispatch lock, so it never interleaves with End.
void HeadlessProgressPage::WatchdogExpired() {
  std::lock_guard dispatch(dispatch_);
  {
    std::lock_guard lock(mutex_);
    if (view_.ended) return;
  }
  bootlink::LinkWatchdogExpired(link_, *this);
  End(bootlink::kProgressFailed);
}

int RunHeadlessProgressPage(HeadlessProgressPage& page, bootlink::LoaderLink& link, const FlashWorker& worker) {
  link.Watch(&page);
  // The pending flash is recorded before the worker starts: the normal
  // run's worker rewrites the device fields that the record is made of.
  const session::UpdateSession& run = page.Run();
  session::WriteFlashSettings(run.handheld, run.image, run.serialLink.load());
  page.ArmWatchdog(bootlink::WATCHDOG_PAGE_OPEN_MS);
  std::thread workerThread(worker);
  const int result = page.WaitResult();
  link.Watch(nullptr);
  workerThread.join();
  return result;
}

}  // namespace corvash::test
