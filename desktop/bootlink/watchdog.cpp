#include "desktop/bootlink/watchdog.h"

#include "desktop/app/update_session.h"
#include "desktop/bootlink/progress_page.h"

namespace corvash::bootlink {

void ArmWatchdog(uint32_t ms) {
  if (ProgressPage* page = app::Session().progressPage.load()) page->ArmTimer2(ms);
}

void KillWatchdog() {
  if (ProgressPage* page = app::Session().progressPage.load()) page->KillTimer2();
}

}  // namespace corvash::bootlink
