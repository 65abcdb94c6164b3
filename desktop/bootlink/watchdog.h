#pragma once
// The link watchdog: timer 2 of the open progress page. Whoever arms it
// replaces the previous period; its expiry ends the page with its failure
// result (the page closes the image file and sets linkClosed). While no
// progress page is open (Session().progressPage is null) both calls do
// nothing. Callable from any thread.
#include <cstdint>

namespace corvash::bootlink {

// Periods used by the link code, in system milliseconds.
inline constexpr uint32_t WATCHDOG_RECEIVE_MS = 150000;  // receive thread: start, every byte
inline constexpr uint32_t WATCHDOG_LINK_FAILED_MS = 10;  // a failed send or a lost link: fire now

// (Re)arms timer 2 to fire once after `ms`.
void ArmWatchdog(uint32_t ms);
// Stops timer 2.
void KillWatchdog();

}  // namespace corvash::bootlink
