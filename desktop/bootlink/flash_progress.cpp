#include "desktop/bootlink/flash_progress.h"

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/progress_watchdog.h"

namespace corvash::bootlink {

void SetFlashProgress(LoaderLink& link, uint32_t percent) {
  link.ArmWatchdog(WATCHDOG_PROGRESS_MS);
  FlashWatch* watch = link.Watcher();
  if (watch == nullptr) return;
  if (percent == 0) {
    watch->SetBarRange(0, 100);
    watch->SetBarPosition(0);
    watch->SetFigure(0);
    return;
  }
  if (percent == 100) {
    watch->FlashCompleted();
    return;
  }
  watch->SetBarPosition(percent);
  watch->SetFigure(percent);
}

}  // namespace corvash::bootlink
