#pragma once
// An open page as the workers reach it: the watches and the backup pull.
// The Qt pages implement it through their page link. (The flash progress
// page is the flash's watch on the boot-loader link instead, see
// bootlink/flash_watch.h.)
//
// Every call is forwarded to the page while it is open; once it has ended,
// calls do nothing. Any thread may call; a call blocks until the page's
// thread has handled it.
#include <cstdint>
#include <string_view>

namespace corvash::session {

class WorkerPage {
 public:
  virtual ~WorkerPage() = default;
  // A page without control `controlId` ignores both calls (the headless
  // progress page has no buttons or texts to change).
  virtual void Enable(int /*controlId*/, bool /*enabled*/) {}
  virtual void SetText(int /*controlId*/, std::string_view /*text*/) {}
  // The progress bar (control 1020) and the percentage figure (control 1023).
  virtual void SetBarRange(uint32_t low, uint32_t high) = 0;
  virtual void SetBarPosition(uint32_t position) = 0;
  virtual void SetFigure(uint32_t percent) = 0;
  // Hides the whole page (it shrinks to nothing; the run goes on behind it).
  virtual void Hide() = 0;
  // Ends the page with `result` (1 success, 2 failure); later calls do nothing.
  virtual void End(int result) = 0;
};

}  // namespace corvash::session
