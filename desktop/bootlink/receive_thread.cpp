#include "desktop/bootlink/receive_thread.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/link_waits.h"
#include "desktop/bootlink/reply_parser.h"
#include "desktop/bootlink/watchdog.h"
#include "common/clock.h"
#include "common/event.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using platform::SerialPort;
using platform::SleepMs;
using platform::Trace;

namespace {

// How long one look at the port may wait before linkClosed is checked again.
constexpr uint32_t kReadWaitMs = 10;
// The pause after a failed read, so that a dead COM port is not polled flat out.
constexpr uint32_t kReadErrorPauseMs = 20;
constexpr size_t kReadChunk = 4096;

struct ReaderSlot {
  std::mutex mutex;
  std::thread thread;
  std::atomic<bool> alive{false};
  std::atomic<bool> failNextStart{false};
};

ReaderSlot& Reader() {
  static ReaderSlot* slot = new ReaderSlot();  // outlives static destruction
  return *slot;
}

// The USB link is gone: its port is closed and everyone is told.
void LoseLink(const std::shared_ptr<SerialPort>& port) {
  auto& session = session::Session();
  auto expected = port;
  session.linkHandle.compare_exchange_strong(expected, nullptr);
  if (port) port->Close();
  Trace("\r\n Line 572: Write file fail !\r\n");
  DeclareLinkClosed();
  ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
}

// Reads until linkClosed is set or the USB link is lost.
void ReadLoop(const std::shared_ptr<SerialPort>& port, ReplyParser& parser) {
  auto& session = session::Session();
  uint8_t buffer[kReadChunk];
  while (session.linkClosed.load() == 0) {
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
    if (session.serialLink.load() == 0 && (!port || !port->Alive())) {
      LoseLink(port);
      return;
    }
    SleepMs(kReadErrorPauseMs);
  }
}

}  // namespace

uint32_t USBReadThread() {
  auto& session = session::Session();
  auto& context = TheDownloadContext();
  ArmWatchdog(WATCHDOG_RECEIVE_MS);
  if (Reader().failNextStart.exchange(false)) {
    Trace("\r\n Failed to create Notify event for thread!\r\n");
    return 0;
  }
  // Fresh notify events: nothing left over from an earlier link counts.
  context.NotifyHeaderEvent.Reset();
  context.NotifyRecordEvent.Reset();
  auto portTestEvent = platform::CreateNamedEvent(PORT_TEST_EVENT, false, false);
  const std::shared_ptr<SerialPort> port = session.linkHandle.load();
  session.readerRunning.store(1);
  NotifyLinkChange();
  ArmWatchdog(WATCHDOG_RECEIVE_MS);

  ReplyParser parser(context);
  ReadLoop(port, parser);

  session.readerRunning.store(0);
  NotifyLinkChange();
  if (port) {
    auto expected = port;
    session.linkHandle.compare_exchange_strong(expected, nullptr);
    port->Close();
  }
  Trace("\r\n Exit USBReadThread!\r\n");
  return 0;
}

bool StartReceiveThread() {
  auto& reader = Reader();
  std::lock_guard lock(reader.mutex);
  if (reader.alive.load()) return false;
  if (reader.thread.joinable()) reader.thread.join();
  reader.alive.store(true);
  reader.thread = std::thread([&reader] {
    USBReadThread();
    reader.alive.store(false);
    NotifyLinkChange();
  });
  return true;
}

bool ReceiveThreadStarted() {
  auto& reader = Reader();
  std::lock_guard lock(reader.mutex);
  return reader.thread.joinable();
}

bool ReceiveThreadAlive() { return Reader().alive.load(); }

void JoinReceiveThread() {
  auto& reader = Reader();
  std::thread finished;
  {
    std::lock_guard lock(reader.mutex);
    finished = std::move(reader.thread);
  }
  if (finished.joinable()) finished.join();
}

void ShutdownLink() {
  auto& session = session::Session();
  DeclareLinkClosed();
  JoinReceiveThread();
  if (auto port = session.linkHandle.exchange(nullptr)) port->Close();
  JoinDownloadThread(TheDownloadContext());
}

void FailNextReaderStart() { Reader().failNextStart.store(true); }

}  // namespace corvash::bootlink
