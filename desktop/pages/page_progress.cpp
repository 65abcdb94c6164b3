// Progress page (102): writing the ROM image. It starts the flashing worker,
// records the running flash, and is the flash's watch on the boot-loader
// link while it is open: its bar and figure show the progress and its timer
// 2 is the link watchdog.
#include "common/fixed_text.h"
#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kWatchdogTimer = bootlink::kWatchdogTimerId;
constexpr uint32_t kWatchdogOpenMs = bootlink::WATCHDOG_PAGE_OPEN_MS;

// The page as the link and flash code see it. One object for the life of the
// process: a thread that took the watch just before the page closed still
// reaches a live object, which then forwards nothing.
class ProgressPageAdapter final : public bootlink::FlashWatch {
 public:
  void Attach(PageDialog& page, FlashSettingsWriter& settings) {
    settings_.store(&settings);
    link_.Attach(page);
  }
  void DetachFrom(PageDialog& page) { link_.DetachFrom(page); }

  void SetBarRange(uint32_t low, uint32_t high) override { link_.SetBarRange(low, high); }
  void SetBarPosition(uint32_t position) override { link_.SetBarPosition(position); }
  void SetFigure(uint32_t percent) override { link_.SetFigure(percent); }
  void Hide() override { link_.Hide(); }
  void FlashCompleted() override {
    if (FlashSettingsWriter* settings = settings_.load()) settings->DeleteFlashSettings();
    link_.Hide();
    link_.End(bootlink::kProgressSucceeded);
  }
  void ReportFault(bootlink::FlashFault fault) override {
    if (fault == bootlink::FlashFault::kImageNotOpened) session::RunPage(kScreenImageNotOpened);
    session::CloseMainWindow();
  }
  void ArmWatchdog(uint32_t ms) override { link_.SetTimer(kWatchdogTimer, ms); }
  void KillWatchdog() override { link_.KillTimer(kWatchdogTimer); }
  void End(int result) { link_.End(result); }

 private:
  PageLink link_;
  std::atomic<FlashSettingsWriter*> settings_{nullptr};
};

// Never destroyed, for the same reason: link threads may outlive main().
ProgressPageAdapter& Adapter() {
  static ProgressPageAdapter* const adapter = new ProgressPageAdapter;
  return *adapter;
}

int DurationTextId() {
  const session::UpdateSession& session = session::Session();
  const bool serial = session.serialLink.load() == 1;
  if (platform::TextOf(session.handheld.deviceVariant) == "NBT")
    return serial ? kTextFlashNbtSerialDuration : kTextFlashNbtUsbDuration;
  return serial ? kTextFlashSerialDuration : kTextFlashUsbDuration;
}

class FlashProgressPage final : public PageProcedure {
 public:
  FlashProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings) : workers_(workers), settings_(settings) {}

  void OnOpen(PageDialog& page) override {
    session::UpdateSession& session = session::Session();
    FillTexts(page, {{kFlashHeading, kTextFlashUnderWay},
                     {kFlashWarning, kTextFlashKeepConnected},
                     {kFlashDuration, DurationTextId()}});
    page.SetText(kProgressFigureControl, "0");
    page.SetColouring(kFlashWarning, Colouring::kRedText);
    page.SetWaitCursor(true);

    Adapter().Attach(page, settings_);
    workers_.WatchFlash(&Adapter());
    // The recovery run flashes with the identity already read from the boot
    // loader; the driver marks it while it opens this page.
    const bool recovery = session.flow.recoveryFlash.load() == 1;
    // The record of the pending flash is written before the worker starts:
    // the normal run's worker rewrites the device fields that it records.
    settings_.WriteFlashSettings();
    StartWorkerThread([&workers = workers_, recovery] {
      if (recovery) {
        workers.CheckAndFlashThread();
      } else {
        workers.IdentifyAndFlashThread();
      }
    });
    page.SetTimer(kWatchdogTimer, kWatchdogOpenMs);
  }

  void OnCommand(PageDialog&, int) override {}

  void OnTimer(PageDialog&, int timerId) override {
    if (timerId != kWatchdogTimer) return;
    workers_.LinkWatchdogExpired(Adapter());
    Adapter().End(bootlink::kProgressFailed);
  }

  void OnClosed(PageDialog& page) override {
    workers_.WatchFlash(nullptr);
    Adapter().DetachFrom(page);
    page.SetWaitCursor(false);
  }

 private:
  FlashWorkers& workers_;
  FlashSettingsWriter& settings_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings) {
  return std::make_unique<FlashProgressPage>(workers, settings);
}

}  // namespace corvash::pages
