#pragma once
// The link watchdog, flash side: the periods that the flash sequences arm
// it with, and what happens when it expires: the image file kept open for
// the flash is closed, the timer stopped, the link declared dead (the
// receive thread ends and closes the port); the watch then ends with its
// failure. The wizard's page and the test pages call it on their own thread.
#include <cstdint>

namespace corvash::bootlink {

class FlashWatch;
class LoaderLink;

// Periods of the flash side, in system milliseconds (the link side's are
// in watchdog.h). Whoever arms the watchdog replaces the previous period.
inline constexpr uint32_t WATCHDOG_PAGE_OPEN_MS = 90000;  // page 102 when it opens
inline constexpr uint32_t WATCHDOG_PROGRESS_MS = 90000;   // every SetFlashProgress
inline constexpr uint32_t WATCHDOG_IDENTITY_MS = 10000;   // after every "readdata", erased reply
inline constexpr uint32_t WATCHDOG_LINK_WAIT_MS = 20000;  // RunFlashSequence waiting for the port

// Timer 2's id on page 102.
inline constexpr int kWatchdogTimerId = 2;
// Results the progress page ends with.
inline constexpr int kProgressSucceeded = 1;
inline constexpr int kProgressFailed = 2;

// Runs the expiry for `watch` on `link`; the caller then ends the watch with
// kProgressFailed. A second load whose download did not finish is not a
// completed flash: flashState 3 is set back to 2, so that nothing that reads
// flashState after the watch takes the failure for success.
void LinkWatchdogExpired(LoaderLink& link, FlashWatch& watch);

}  // namespace corvash::bootlink
