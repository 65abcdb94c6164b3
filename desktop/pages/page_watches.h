#pragma once
// What the pages of one run share beyond a single page. The workers that
// pages start outlive the page that started them, and the page opened next
// meets them: one power watch serves every power warning of the run, two
// boot-loader watches never test the ports at once, and the flash reaches
// whichever progress page is open. The owner keeps the object as long as
// such a worker may run (the program: until the process ends).
#include <atomic>
#include <mutex>

#include "desktop/pages/page_link.h"
#include "desktop/pages/progress_watch.h"

namespace corvash::pages {

class PageWatches {
 public:
  // The power warning that is open, as the power watch reaches it.
  PageLink& OpenPowerWarning() { return powerWarning_; }
  // True when the caller takes the power watch (none runs); it then starts
  // the watch and calls PowerWatchEnded when the watch returns.
  bool TakePowerWatch() { return !powerWatchRunning_.exchange(true); }
  void PowerWatchEnded() { powerWatchRunning_.store(false); }
  bool PowerWatchRunning() const { return powerWatchRunning_.load(); }

  // Held by a boot-loader watch for its whole run: the watch of a page
  // opened again waits until the previous one has seen its stop flag.
  std::mutex& BootLoaderWatchRun() { return bootLoaderWatchRun_; }

  ProgressWatch& Progress() { return progress_; }

 private:
  PageLink powerWarning_;
  std::atomic<bool> powerWatchRunning_{false};
  std::mutex bootLoaderWatchRun_;
  ProgressWatch progress_;
};

}  // namespace corvash::pages
