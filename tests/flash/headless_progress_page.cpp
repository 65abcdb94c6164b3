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

HeadlessProgressPage::HeadlessProgressPage(bootlink::LoaderLink& link)
    : link_(link), timerThread_([this] { TimerLoop(); }) {}

HeadlessProgressPage::~HeadlessProgressPage() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  timerThread_.join();
}

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
    view_.timer2Armed = false;
    ++timerGeneration_;
  }
  changed_.notify_all();
}

void HeadlessProgressPage::FlashCompleted() {
  session::DeleteFlashSettings();
  Hide();
  End(bootlink::kProgressSucceeded);
}

void HeadlessProgressPage::ReportFault(bootlink::FlashFault fault) {
  if (fault == bootlink::FlashFault::kImageNotOpened) session::RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow();
}

void HeadlessProgressPage::ArmWatchdog(uint32_t ms) {
  {
    std::lock_guard lock(mutex_);
    if (view_.ended) return;
    view_.timer2Armed = true;
    view_.timer2Period = ms;
    deadline_ = platform::DeadlineAfter(ms);
    ++timerGeneration_;
  }
  changed_.notify_all();
}

void HeadlessProgressPage::KillWatchdog() {
  {
    std::lock_guard lock(mutex_);
    view_.timer2Armed = false;
    ++timerGeneration_;
  }
  changed_.notify_all();
}

HeadlessProgressPage::View HeadlessProgressPage::Snapshot() const {
  std::lock_guard lock(mutex_);
  return view_;
}

std::vector<uint32_t> HeadlessProgressPage::FigureHistory() const {
  std::lock_guard lock(mutex_);
  return figures_;
}

bool HeadlessProgressPage::WaitEnded(uint32_t ms) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, platform::DeadlineAfter(ms), [this] { return view_.ended; });
}

int HeadlessProgressPage::WaitResult() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return view_.ended; });
  return view_.result;
}

// One timer thread per page. It sleeps until the armed deadline; a re-arm or
// a kill (a new generation) restarts the wait. The expiry runs outside the
// state lock but under the dispatch lock, so it never interleaves with End.
void HeadlessProgressPage::TimerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || view_.timer2Armed; });
    if (stopping_) return;
    const uint64_t generation = timerGeneration_;
    const auto deadline = deadline_;
    const bool rearmed = changed_.wait_until(
        lock, deadline, [&] { return stopping_ || timerGeneration_ != generation; });
    if (stopping_) return;
    if (rearmed) continue;
    lock.unlock();
    {
      std::lock_guard dispatch(dispatch_);
      bool fire = false;
      {
        std::lock_guard state(mutex_);
        fire = !view_.ended && view_.timer2Armed && timerGeneration_ == generation;
      }
      if (fire) {
        bootlink::LinkWatchdogExpired(link_, *this);
        End(bootlink::kProgressFailed);
      }
    }
    lock.lock();
  }
}

int RunHeadlessProgressPage(HeadlessProgressPage& page, bootlink::LoaderLink& link, const FlashWorker& worker) {
  link.Watch(&page);
  // The pending flash is recorded before the worker starts: the normal
  // run's worker rewrites the device fields that the record is made of.
  const session::UpdateSession& run = session::Session();
  session::WriteFlashSettings(run.handheld, run.image, run.serialLink.load());
  page.ArmWatchdog(bootlink::WATCHDOG_PAGE_OPEN_MS);
  std::thread workerThread(worker);
  const int result = page.WaitResult();
  link.Watch(nullptr);
  workerThread.join();
  return result;
}

}  // namespace corvash::test
