#pragma once
// Progress of a flash as the download thread reports it to the link's watch.
#include <cstdint>

namespace corvash::bootlink {

class LoaderLink;

// Re-arms the link watchdog at 90000 ms. 0 sets the bar's range to 0-100
// and bar and figure to 0; 100 completes the flash (FlashWatch::FlashCompleted:
// the record of the pending flash goes, the watch ends with success); any
// other value sets bar and figure to `percent`. Without a watch nothing is
// shown. Called by the download thread.
void SetFlashProgress(LoaderLink& link, uint32_t percent);

}  // namespace corvash::bootlink
