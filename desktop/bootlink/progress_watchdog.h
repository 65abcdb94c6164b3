#pragma once
// The progress page's link watchdog, flash side: the periods that the flash
// sequences arm it with, and what the page does when its timer 2, the link watchdog, expires:
// close the image file kept open for the flash, stop the timer, declare the
// link dead (the receive thread ends and closes the port) and end the page
// with its failure result. The real page and the headless one both call it
// on their own thread.
#include <cstdint>

#include "desktop/session/worker_page.h"

namespace corvash::bootlink {

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

// Runs the expiry on `page`. A second load whose download did not finish is
// not a completed flash: flashState 3 is set back to 2, so that nothing that
// reads flashState after the page takes the failure for success.
void LinkWatchdogExpired(pages::WorkerPage& page);

}  // namespace corvash::bootlink
