#include "desktop/bootlink/flash_progress.h"

#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/session/worker_page.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/bootlink/watchdog.h"

namespace corvash::bootlink {

void SetFlashProgress(uint32_t percent) {
  ArmWatchdog(WATCHDOG_PROGRESS_MS);
  pages::WorkerPage* page = session::Session().progressPage.load();
  if (percent == 0) {
    if (page != nullptr) {
      page->SetBarRange(0, 100);
      page->SetBarPosition(0);
      page->SetFigure(0);
    }
    return;
  }
  if (percent == 100) {
    session::DeleteFlashSettings();
    if (page != nullptr) {
      page->Hide();
      page->End(kProgressSucceeded);
    }
    return;
  }
  if (page != nullptr) {
    page->SetBarPosition(percent);
    page->SetFigure(percent);
  }
}

}  // namespace corvash::bootlink
