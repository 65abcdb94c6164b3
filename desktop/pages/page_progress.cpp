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
  void Attach(PageDialog& page, FlashSettingsWriter& settings, const PageRun& run) {
    settings_.store(&settings);
    host_.store(&run.host);
    flow_.store(&run.values.flow);
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
    session::PageHost* host = host_.load();
    if (fault == bootlink::FlashFault::kImageNotOpened && host != nullptr) host->RunPage(kScreenImageNotOpened);
    if (session::WizardFlow* flow = flow_.load()) session::CloseMainWindow(*flow);
  }
  void ArmWatchdog(uint32_t ms) override { link_.SetTimer(kWatchdogTimer, ms); }
  void KillWatchdog() override { link_.KillTimer(kWatchdogTimer); }
  void End(int result) { link_.End(result); }

 private:
  PageLink link_;
  std::atomic<FlashSettingsWriter*> settings_{nullptr};
  std::atomic<session::PageHost*> host_{nullptr};
  std::atomic<session::WizardFlow*> flow_{nullptr};
};

// Never destroyed, for the same reason: link threads may outlive main().
ProgressPageAdapter& Adapter() {
  static ProgressPageAdapter* const adapter = new ProgressPageAdapter;
  return *adapter;
}

int DurationTextId(const session::UpdateSession& run) {
  const bool serial = run.serialLink.load() == 1;
  if (platform::TextOf(run.handheld.deviceVariant) == "NBT")
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

    Adapter().Attach(page, settings_, run_);
    workers_.WatchFlash(&Adapter());
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
  const PageRun run_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings, const PageRun& run) {
  return std::make_unique<FlashProgressPage>(workers, settings, run);
}

}  // namespace corvash::pages
