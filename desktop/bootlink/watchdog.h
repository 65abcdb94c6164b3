#pragma once
// Periods of the link watchdog, the timer of the flash's watch (flash_watch.h)
// that the link arms through LoaderLink::ArmWatchdog. Whoever arms it
// replaces the previous period; its expiry ends the watch with a failure.
#include <cstdint>

namespace corvash::bootlink {

// Periods used by the link code, in system milliseconds.
inline constexpr uint32_t WATCHDOG_RECEIVE_MS = 150000;  // receive thread: start, every byte
inline constexpr uint32_t WATCHDOG_LINK_FAILED_MS = 10;  // a failed send or a lost link: fire now

}  // namespace corvash::bootlink
