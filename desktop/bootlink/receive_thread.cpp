#include "desktop/bootlink/receive_thread.h"

#include <memory>

#include "common/clock.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/reply_actions.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using common::SleepMs;
using platform::SerialPort;
using platform::Trace;

namespace {

// How long one look at the port may wait before linkClosed is checked again.
constexpr uint32_t kReadWaitMs = 10;
// The pause after a failed read, so that a dead COM port is not polled flat out.
constexpr uint32_t kReadErrorPauseMs = 20;
constexpr size_t kReadChunk = 4096;

// The USB link is gone: its port is closed and everyone is told.
void LoseLink(LoaderLink& link, const std::shared_ptr<SerialPort>& port) {
  link.WithdrawPort(port);
  if (port) port->Close();
  Trace("\r\n Line 572: Write file fail !\r\n");
  link.DeclareClosed();
  link.ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
}

// Reads until linkClosed is set or the USB link is lost.
void ReadLoop(LoaderLink& link, const std::shared_ptr<SerialPort>& port, ReplyParser& parser) {
  uint8_t buffer[kReadChunk];
  while (link.linkClosed.load() == 0) {
    if (port && !port->WaitReadable(kReadWaitMs)) continue;
    const long count = port ? port->ReadAvailable(buffer, sizeof buffer) : -1;
    if (count > 0) {
      parser.TakeBytes(buffer, static_cast<size_t>(count));
      continue;
    }
    if (count == 0) {
      if (!port) SleepMs(kReadWaitMs);
      continue;
    }
    // A read error: a COM port reads on; a USB device is probed.
    if (link.serialLink.load() == 0 && (!port || !port->Alive())) {
      LoseLink(link, port);
      return;
    }
    SleepMs(kReadErrorPauseMs);
  }
}

}  // namespace

uint32_t USBReadThread(LoaderLink& link) {
  DownloadContext& context = link.Download();
  link.ArmWatchdog(WATCHDOG_RECEIVE_MS);
  if (link.TakeReaderStartFailure()) {
    Trace("\r\n Failed to create Notify event for thread!\r\n");
    return 0;
  }
  // Fresh notify events: nothing left over from an earlier link counts.
  context.NotifyHeaderEvent.Reset();
  context.NotifyRecordEvent.Reset();
  const std::shared_ptr<SerialPort> port = link.Port();
  link.readerRunning.store(1);
  link.Signals().Notify();
  link.ArmWatchdog(WATCHDOG_RECEIVE_MS);

  LinkReplySink sink(link);
  ReplyParser parser(sink);
  ReadLoop(link, port, parser);

  link.readerRunning.store(0);
  link.Signals().Notify();
  if (port) {
    link.WithdrawPort(port);
    port->Close();
  }
  Trace("\r\n Exit USBReadThread!\r\n");
  return 0;
}

bool StartReceiveThread(LoaderLink& link) {
  return link.StartReader([&link] { USBReadThread(link); });
}

}  // namespace corvash::bootlink
