#include "desktop/bootlink/watchdog.h"

#include "desktop/session/update_session.h"
#include "desktop/session/worker_page.h"

namespace corvash::bootlink {

void ArmWatchdog(uint32_t ms) {
  if (pages::WorkerPage* page = session::Session().progressPage.load()) page->ArmTimer2(ms);
}

void KillWatchdog() {
  if (pages::WorkerPage* page = session::Session().progressPage.load()) page->KillTimer2();
}

}  // namespace corvash::bootlink
