#include "desktop/pages/progress_watch.h"

#include "desktop/bootlink/progress_watchdog.h"

namespace corvash::pages {

using namespace resources::ids;

void ProgressWatch::Attach(PageDialog& page, FlashSettingsWriter& settings, session::PageHost& host,
                           session::WizardFlow& flow) {
  settings_.store(&settings);
  host_.store(&host);
  flow_.store(&flow);
  link_.Attach(page);
}

void ProgressWatch::FlashCompleted() {
  if (FlashSettingsWriter* settings = settings_.load()) settings->DeleteFlashSettings();
  link_.Hide();
  link_.End(bootlink::kProgressSucceeded);
}

void ProgressWatch::ReportFault(bootlink::FlashFault fault) {
  session::PageHost* host = host_.load();
  if (fault == bootlink::FlashFault::kImageNotOpened && host != nullptr) host->RunPage(kScreenImageNotOpened);
  if (session::WizardFlow* flow = flow_.load()) session::CloseMainWindow(*flow);
}

void ProgressWatch::ArmWatchdog(uint32_t ms) { link_.SetTimer(bootlink::kWatchdogTimerId, ms); }

void ProgressWatch::KillWatchdog() { link_.KillTimer(bootlink::kWatchdogTimerId); }

}  // namespace corvash::pages
