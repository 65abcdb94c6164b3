#pragma once
// Waits of the flash side that give up as soon as the link is declared dead
// (linkClosed = 1), so that no worker outlives the page that it served.
#include <cstdint>

#include "common/event.h"

namespace corvash::bootlink {

enum class LinkWait { kSignalled, kTimedOut, kLinkClosed };

// Waits up to `ms` for `event` (auto-reset events pass one waiter). Checks
// linkClosed at least every 10 system milliseconds (and never busier than
// once per real millisecond).
LinkWait WaitEventWhileLinkOpen(platform::Event& event, uint32_t ms);

// Pauses `ms`; false when linkClosed became 1 first (the pause is cut short).
bool PauseWhileLinkOpen(uint32_t ms);

}  // namespace corvash::bootlink
