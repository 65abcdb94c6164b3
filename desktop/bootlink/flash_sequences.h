#pragma once
// The flash itself: two "lnb" loads, each answered by the loader with a
// download (image_download.h). The wizard's progress page and the terminal
// flasher run it on a worker thread while their watch is on the link; every
// wait ends when linkClosed becomes 1.
#include <cstdint>
#include <string_view>

namespace corvash::bootlink {

class LoaderLink;

// Pauses of the sequences, in system milliseconds.
inline constexpr uint32_t FLASH_START_PAUSE_MS = 2000;
inline constexpr uint32_t RECOVERY_START_PAUSE_MS = 5000;

enum class FlashOutcome {
  kLoadsSent,       // both loads went out; the second download completes the flash
  kLinkLost,        // the link died (or a load could not be sent) before that
  kImageNotOpened,  // the image could not be opened: the link is closed; FEHLER 104
  kImageNotSized,   // the image is no longer than its header (traced)
};

// Size of the image at `imagePath` less its 32-byte header; the file stays
// open in the link (the watchdog's expiry or Close releases it). 0 with
// `notOpened` set when the file cannot be opened (the link is then declared
// dead and its port closed), 0 alone when it cannot be sized (trace
// "\nGet File size error\n", file released).
uint32_t GetImageBodySize(LoaderLink& link, std::string_view imagePath, bool& notOpened);

// Waits 2000 ms and for an open port, sends the first load (image body
// size, offset 00080000) and sets flashState 1; once the first download has
// set flashState 2 it sends the second load and sets flashState 3. After
// each load the watchdog is armed at 90000 ms, so a loader that never
// answers a load still ends the watch. A load that cannot be sent restores
// flashState and ends the watch through its watchdog.
// Returns kLoadsSent when flashState is 3 with the link open; otherwise the
// failure, after which the caller reports it and calls EndWatchAfterFault.
FlashOutcome RunFlashSequence(LoaderLink& link, std::string_view imagePath);

// A worker that met a fault ends the watch through its watchdog, as a dead
// link would. No effect without a watch.
void EndWatchAfterFault(LoaderLink& link);

}  // namespace corvash::bootlink
