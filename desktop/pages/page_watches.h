#pragma once
// What the pages of one run share beyond a single page. The workers that
// pages start outlive the page that started them, and the page opened next
// meets them: one power watch serves every power warning of the run, two
// boot-loader watches never test the ports at once, and the flash reaches
// whichever progress page is open. A power or boot-loader watch holds the
// state it uses, so it may outlive this object; the flash reaches the
// progress watch through the boot-loader link, so the owner keeps the object
// as long as the link may flash (the program: until the process ends).
#include <atomic>
#include <memory>
#include <mutex>

#include "desktop/pages/page_link.h"
#include "desktop/pages/progress_watch.h"

namespace corvash::pages {

class PageWatches {
 public:
  // The power watch's state: the power warning that is open, as the watch
  // reaches it, and whether a watch runs (the one that set `running` starts
  // it and clears it when the watch returns).
  struct PowerWatchState {
    PageLink openWarning;
    std::atomic<bool> running{false};
  };
  const std::shared_ptr<PowerWatchState>& Power() const { return power_; }
  bool PowerWatchRunning() const { return power_->running.load(); }

  // Held by a boot-loader watch for its whole run: the watch of a page
  // opened again waits until the previous one has seen its stop flag.
  const std::shared_ptr<std::mutex>& BootLoaderWatchTurn() const { return bootLoaderWatchTurn_; }

  ProgressWatch& Progress() { return progress_; }

 private:
  std::shared_ptr<PowerWatchState> power_ = std::make_shared<PowerWatchState>();
  std::shared_ptr<std::mutex> bootLoaderWatchTurn_ = std::make_shared<std::mutex>();
  ProgressWatch progress_;
};

}  // namespace corvash::pages
