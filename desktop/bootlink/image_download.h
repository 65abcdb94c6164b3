#pragma once
// ImageDownloadThread: streams the part of the ROM image that the boot
// loader asked for (":A=", ":O=", ":L=") to the loader, paced by its request
// bytes: the sync header "B000FF\n", on 0x01 the file header, on every 0x02
// one record of BLOCK_LENGTH bytes sent as pieces of TXQUEUE bytes, and on
// the 0x02 after the last block the end record. It drives the progress page
// and moves flashState from the first load to the second.
#include <cstdint>

#include "desktop/bootlink/download_context.h"
#include "desktop/bootlink/download_records.h"

namespace corvash::bootlink {

class LoaderLink;

// Waits of the download, in system milliseconds.
inline constexpr uint32_t SYNC_HEADER_WAIT_MS = 60000;
inline constexpr uint32_t RECORD_REQUEST_WAIT_MS = 200000;
inline constexpr uint32_t END_RECORD_SENT_WAIT_MS = 10000;
inline constexpr uint32_t DOWNLOAD_END_PAUSE_MS = 2000;

// The thread procedure; the link runs it on "start NB image download"
// with its DownloadContext. Sets DownloadActive to 0 on
// every way out. Returns 1 when the download ran to its end or stopped on a
// request time-out, a dead link or a failed send; 0 on the early failures
// (image not opened: the link closed and the watch told, see FlashFault; sync
// header not sent or not answered within 60000 ms; nothing to send; buffer
// not allocated; image read failed), whose words go to statusText.
//
// A download that ran to its end record moves flashState 1 -> 2 (first
// load) or, on flashState 3, completes the flash through
// SetFlashProgress(100). One that stopped short leaves flashState as it was
// and arms the watchdog to fire at once, so the watch ends with its failure.
uint32_t ImageDownloadThread(LoaderLink& link, DownloadContext& context);

}  // namespace corvash::bootlink
