#pragma once
// What watches a flash while the link carries it: the wizard's progress
// page, the terminal flasher's line, a test's recorder. The engine reports
// progress and the faults whose screen the watcher shows; the watcher owns
// the link watchdog (its expiry ends the watch with a failure, see
// progress_watchdog.h). Calls come from the flashing worker, the download
// thread and the receive thread; an implementation takes them from any
// thread.
#include <cstdint>

namespace corvash::bootlink {

// A fault that the engine meets and the watcher reports.
enum class FlashFault {
  kImageNotOpened,  // the image file could not be opened (FEHLER 104); the run ends
};

class FlashWatch {
 public:
  virtual ~FlashWatch() = default;
  // The bar's range and position, and the percentage figure.
  virtual void SetBarRange(uint32_t low, uint32_t high) = 0;
  virtual void SetBarPosition(uint32_t position) = 0;
  virtual void SetFigure(uint32_t percent) = 0;
  // Hides the watch while a screen shows in its place; the run goes on.
  virtual void Hide() = 0;
  // The second load's download ran to its end: the flash is complete. The
  // record of the pending flash goes and the watch ends with success.
  virtual void FlashCompleted() = 0;
  // Reports `fault` (the wizard shows its screen and ends the run). The
  // watch itself ends through its watchdog, which the engine arms after.
  virtual void ReportFault(FlashFault fault) = 0;
  // (Re)arms the watchdog to fire once after `ms` system milliseconds, or
  // stops it.
  virtual void ArmWatchdog(uint32_t ms) = 0;
  virtual void KillWatchdog() = 0;
};

}  // namespace corvash::bootlink
