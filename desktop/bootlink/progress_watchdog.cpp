#include "desktop/bootlink/progress_watchdog.h"

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

void LinkWatchdogExpired(LoaderLink& link, FlashWatch& watch) {
  link.CloseImageFile();
  watch.KillWatchdog();
  link.DeclareClosed();
  link.MoveFlashState(3, 2);
  platform::Trace("\r\n Progress page: link watchdog expired\r\n");
}

}  // namespace corvash::bootlink
