// Progress page (102): writing the ROM image. It starts the flashing worker,
// records the running flash, and keeps timer 2 as the link watchdog. While
// it is open, the link and flash code reach it through
// Session().progressPage.
#include "desktop/session/update_session.h"
#include "desktop/session/worker_page.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {
namespace {

constexpr int kWatchdogTimer = 2;
constexpr uint32_t kWatchdogOpenMs = 90000;

// The page as the link and flash code see it. One object for the life of the
// process: a thread that read Session().progressPage just before the page
// closed still reaches a live object, which then forwards nothing.
class ProgressPageAdapter final : public pages::WorkerPage {
 public:
  void Attach(PageDialog& page) { link_.Attach(page); }
  void DetachFrom(PageDialog& page) { link_.DetachFrom(page); }

  void Enable(int controlId, bool enabled) override { link_.Enable(controlId, enabled); }
  void SetText(int controlId, std::string_view text) override { link_.SetText(controlId, text); }
  void SetBarRange(uint32_t low, uint32_t high) override { link_.SetBarRange(low, high); }
  void SetBarPosition(uint32_t position) override { link_.SetBarPosition(position); }
  void SetFigure(uint32_t percent) override { link_.SetFigure(percent); }
  void Hide() override { link_.Hide(); }
  void End(int result) override { link_.End(result); }
  void ArmTimer2(uint32_t ms) override { link_.SetTimer(kWatchdogTimer, ms); }
  void KillTimer2() override { link_.KillTimer(kWatchdogTimer); }

 private:
  PageLink link_;
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

    Adapter().Attach(page);
    session.progressPage.store(&Adapter());
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
    if (timerId == kWatchdogTimer) bootlink::LinkWatchdogExpired(Adapter());
  }

  void OnClosed(PageDialog& page) override {
    pages::WorkerPage* published = &Adapter();
    session::Session().progressPage.compare_exchange_strong(published, nullptr);
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
