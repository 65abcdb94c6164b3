#include "desktop/flashcli/flash_run.h"

#include "desktop/bootlink/image_download.h"
#include "desktop/flashcli/terminal_watch.h"

namespace corvash::flashcli {

FlashRun::FlashRun() : link_(&bootlink::ImageDownloadThread, serialLink_) {}

void FlashRun::Watching(TerminalWatch* watch) {
  std::lock_guard lock(watchMutex_);
  watch_ = watch;
}

void FlashRun::Interrupt() {
  interrupted_.store(true);
  link_.DeclareClosed();
  std::lock_guard lock(watchMutex_);
  if (watch_ != nullptr) watch_->End(WatchEnd::kInterrupted);
}

}  // namespace corvash::flashcli
