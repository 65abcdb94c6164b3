#pragma once
// The flash progress page (dialog 102) as the link and flash code reach it.
// The pages library implements it on the real page; a headless one serves
// tests and runs without a display. The open page is published in
// Session().progressPage; null means no progress page is open, and then
// timer 2 calls have no effect. Every member may be called from any thread.
#include <cstdint>

namespace corvash::bootlink {

class ProgressPage {
 public:
  virtual ~ProgressPage() = default;
  virtual void SetBarRange(uint32_t low, uint32_t high) = 0;
  virtual void SetBarPosition(uint32_t position) = 0;
  // The percentage figure (control 1023).
  virtual void SetFigure(uint32_t percent) = 0;
  virtual void Hide() = 0;
  // Ends the page with `result` (1 success, 2 failure); later calls do nothing.
  virtual void End(int result) = 0;
  // Timer 2, the link watchdog: (re)arms it to fire once after `ms`
  // system milliseconds (0: at once). Its expiry closes the image file, sets
  // linkClosed and ends the page with 2.
  virtual void ArmTimer2(uint32_t ms) = 0;
  virtual void KillTimer2() = 0;
};

}  // namespace corvash::bootlink
