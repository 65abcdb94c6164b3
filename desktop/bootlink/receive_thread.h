#pragma once
// USBReadThread: the only reader of the boot-loader link. It gathers the
// loader's bytes into Session().rxLine, acts on the reply keys of complete
// lines (download parameters, the start line, framed replies, the port-test
// echo), signals the download requests 0x01/0x02, keeps the link watchdog
// alive while bytes arrive and ends when linkClosed becomes 1 or a USB link
// is lost, closing its port as it ends.
#include <cstdint>
#include <functional>

#include "desktop/bootlink/download_context.h"

namespace corvash::bootlink {

// Name of the auto-reset event pulsed when a line holding "Port Test" arrives.
inline constexpr const char* PORT_TEST_EVENT = "PortTestEvent";

// The procedure the download thread runs (ImageDownloadThread), with the
// program's DownloadContext; it must set DownloadActive to 0 on every way
// out. Installed once at start-up; with none installed the start line is
// traced and DownloadActive goes back to 0 at once. Any thread may install
// it, but not while a download is being started.
using DownloadThreadProc = std::function<uint32_t(DownloadContext&)>;
void SetDownloadThreadProc(DownloadThreadProc proc);

// The thread procedure. Reads the port in Session().linkHandle at its start.
// Returns 0. Normally started through StartReceiveThread.
uint32_t USBReadThread();

// Starts USBReadThread on a new thread (after joining an earlier reader that
// has ended). Returns false when a reader is still running.
bool StartReceiveThread();
// Whether a started reader thread has not been joined yet.
bool ReceiveThreadStarted();
// Whether a reader thread is running now (started and not yet returned).
bool ReceiveThreadAlive();
// Waits for the reader to end (it ends once linkClosed is 1 or the link is
// lost) and releases its thread. Does nothing when none was started.
void JoinReceiveThread();

// Tears the link down: sets linkClosed to 1, joins the reader (which closes
// its port), closes any port still in linkHandle and joins the download
// thread. For the end of a run and for tests.
void ShutdownLink();

// Test seam: the next reader fails to set itself up (as when its notify
// events cannot be created): it shows no box, leaves readerRunning at 0 and
// ends at once.
void FailNextReaderStart();

}  // namespace corvash::bootlink
