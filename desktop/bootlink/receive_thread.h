#pragma once
// USBReadThread: the only reader of a loader link. It hands the loader's
// bytes to a reply parser whose lines and requests the link acts on
// (reply_actions.h), keeps the link watchdog alive while bytes arrive, and
// ends when linkClosed becomes 1 or a USB link is lost, closing its port as
// it ends.
#include <cstdint>

namespace corvash::bootlink {

class LoaderLink;

// The thread procedure. Reads the link's port as it is at its start.
// Returns 0. Normally started through StartReceiveThread.
uint32_t USBReadThread(LoaderLink& link);

// Starts USBReadThread on the link's reader thread. False when a reader
// still runs.
bool StartReceiveThread(LoaderLink& link);

}  // namespace corvash::bootlink
