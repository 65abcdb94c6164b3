#pragma once
// The flash itself: two "lnb" loads, each answered by the loader with a
// download (image_download.h), and the two workers that page 102 starts:
// IdentifyAndFlashThread in the normal run, CheckAndFlashThread in the
// recovery run. The workers run on their own threads while the page is
// open; every wait of theirs ends when linkClosed becomes 1.
#include <cstdint>

namespace corvash::bootlink {

// Pauses of the sequences, in system milliseconds.
inline constexpr uint32_t FLASH_START_PAUSE_MS = 2000;
inline constexpr uint32_t RECOVERY_START_PAUSE_MS = 5000;

// Size of the image at imagePath less its 32-byte header. The file stays
// open in imageFileHandle (the page closes it when its watchdog fires).
// Returns 0 when the file cannot be opened (link closed, FEHLER 104 shown,
// main window closed) or sized; a file no longer than its header cannot be
// sized (trace "\nGet File size error\n", handle released, no screen).
uint32_t GetImageBodySize();

// Waits 2000 ms and for an open port, sends the first load (image body
// size, offset 00080000) and sets flashState 1; once the first download has
// set flashState 2 it sends the second load and sets flashState 3. After
// each load the watchdog is armed at 90000 ms, so a loader that never
// answers a load still ends the page. A load that cannot be sent ends the
// page with its failure result (the wizard driver then shows FEHLER 113);
// flashState then stays below the load's value.
// Returns when flashState is 3, the link is dead, or the sequence failed.
void RunFlashSequence();

// Normal run: imageSizeKB from the image found in programDir, identity read
// in a command session, the stored image checked against it, the variant
// compared (FEHLER 100 on a mismatch), then RunFlashSequence.
void IdentifyAndFlashThread();

// Recovery run (identity already read): image header read, model and
// language compared (FEHLER 100 on a mismatch), bar reset to the image's
// size, 5000 ms pause, then RunFlashSequence.
void CheckAndFlashThread();

// A worker that met a fault (and has shown its screen and closed the main
// window, or leaves the report to the page) ends the page through its
// watchdog, as a dead link would. No effect without an open page.
void EndProgressPageAfterFault();

}  // namespace corvash::bootlink
