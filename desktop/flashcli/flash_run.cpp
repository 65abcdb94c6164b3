#include "desktop/flashcli/flash_run.h"

#include "desktop/bootlink/image_download.h"
#include "desktop/flashcli/terminal_watch.h"

namespace corvash::flashcli {

FlashRun::FlashRun() : link_(&bootlink::ImageDownloadThread, serialLink_) {}

void FlashRun::Interrupt() {
  interrupted_.store(true);
  link_.DeclareClosed();
  if (TerminalWatch* watch = watch_.load()) watch->End(WatchEnd::kInterrupted);
}

}  // namespace corvash::flashcli
