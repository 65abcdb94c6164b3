// Progress page (102): writing the ROM image. It starts the flashing worker,
// records the running flash, and is the flash's watch on the boot-loader
// link while it is open: its bar and figure show the progress and its timer
// 2 is the link watchdog.
#include "common/fixed_text.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kWatchdogTimer = bootlink::kWatchdogTimerId;
constexpr uint32_t kWatchdogOpenMs = bootlink::WATCHDOG_PAGE_OPEN_MS;

int DurationTextId(const session::UpdateSession& run) {
  const bool serial = run.serialLink.load() == 1;
  if (common::TextOf(run.handheld.deviceVariant) == "NBT")
    return serial ? kTextFlashNbtSerialDuration : kTextFlashNbtUsbDuration;
  return serial ? kTextFlashSerialDuration : kTextFlashUsbDuration;
}

class FlashProgressPage final : public PageProcedure {
 public:
  FlashProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings, const PageRun& run)
      : workers_(workers), settings_(settings), run_(run) {}

  void OnOpen(PageDialog& page) override {
    FillTexts(page, {{kFlashHeading, kTextFlashUnderWay},
                     {kFlashWarning, kTextFlashKeepConnected},
                     {kFlashDuration, DurationTextId(run_.values)}});
    page.SetText(kProgressFigureControl, "0");
    page.SetColouring(kFlashWarning, Colouring::kRedText);
    page.SetWaitCursor(true);

    run_.watches.Progress().Attach(page, settings_, run_.host, run_.values.flow);
    workers_.WatchFlash(&run_.watches.Progress());
    // The recovery run flashes with the identity already read from the boot
    // loader; the driver marks it while it opens this page.
    const bool recovery = run_.values.flow.recoveryFlash.load() == 1;
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
    workers_.LinkWatchdogExpired(run_.watches.Progress());
    run_.watches.Progress().End(bootlink::kProgressFailed);
  }

  void OnClosed(PageDialog& page) override {
    workers_.WatchFlash(nullptr);
    run_.watches.Progress().DetachFrom(page);
    page.SetWaitCursor(false);
  }

 private:
  FlashWorkers& workers_;
  FlashSettingsWriter& settings_;
  const PageRun run_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings, const PageRun& run) {
  return std::make_unique<FlashProgressPage>(workers, settings, run);
}

}  // namespace corvash::pages
