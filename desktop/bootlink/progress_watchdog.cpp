#include "desktop/bootlink/progress_watchdog.h"

#include <unistd.h>

#include "desktop/bootlink/link_waits.h"
#include "desktop/session/update_session.h"
#include "desktop/session/worker_page.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

void LinkWatchdogExpired(pages::WorkerPage& page) {
  session::UpdateSession& session = session::Session();
  const int fd = session.imageFileHandle.exchange(-1);
  if (fd >= 0) ::close(fd);
  page.KillTimer2();
  DeclareLinkClosed();
  MoveFlashState(3, 2);
  platform::Trace("\r\n Progress page: link watchdog expired\r\n");
  page.End(kProgressFailed);
}

}  // namespace corvash::bootlink
