#pragma once
// Progress of a flash on page 102, as the download thread reports it.
#include <cstdint>

namespace corvash::bootlink {

// Re-arms the link watchdog at 90000 ms. 0 sets the bar's range to 0-100 and
// bar and figure to 0; 100 deletes the stored settings of an unfinished
// flash, hides the page and ends it with success; any other value sets bar
// and figure to `percent`. Without an open progress page only the settings
// are touched (at 100). Called by the download thread.
void SetFlashProgress(uint32_t percent);

}  // namespace corvash::bootlink
