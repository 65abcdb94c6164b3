#include "desktop/bootlink/command_channel.h"

#include <memory>
#include <mutex>

#include "desktop/session/update_session.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/link_waits.h"
#include "desktop/bootlink/watchdog.h"
#include "common/event.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using platform::Trace;

namespace {

// One sender at a time, so that two messages never interleave on the wire.
std::mutex& SendMutex() {
  static std::mutex mutex;
  return mutex;
}

uint32_t WriteFailed(const std::shared_ptr<platform::SerialPort>& port) {
  auto& session = session::Session();
  if (port) {
    auto expected = port;
    session.linkHandle.compare_exchange_strong(expected, nullptr);
    port->Close();
  }
  Trace("\r\n Line 192: Write file fail !\r\n");
  DeclareLinkClosed();
  ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
  Trace("\r\n Line 202:Write file Error! \r\n");
  return 0;
}

}  // namespace

uint32_t SendString(const void* bytes, size_t length) {
  auto& session = session::Session();
  if (session.linkClosed.load() != 0) {
    Trace("\nReady write file but disconnect\n");
    return 0;
  }
  auto complete = platform::CreateNamedEvent(SEND_STRING_COMPLETE_EVENT, false, false);
  std::shared_ptr<platform::SerialPort> port;
  bool written = false;
  {
    std::lock_guard lock(SendMutex());
    port = session.linkHandle.load();
    written = port && port->WriteAll(static_cast<const uint8_t*>(bytes), length);
  }
  if (!written) return WriteFailed(port);
  complete->Set();
  return 1;
}

uint32_t SendString(std::string_view text) { return SendString(text.data(), text.size()); }

uint32_t OpenCommandSession() {
  auto& session = session::Session();
  if (session.commandSessionOpen.load() == 1) SendString(wire::CR_BURST);
  const uint32_t result = SendString(wire::SESSION_OPEN);
  session.commandSessionOpen.store(1);
  return result;
}

uint32_t CloseCommandSession() {
  const uint32_t result = SendString(wire::SESSION_CLOSE);
  session::Session().commandSessionOpen.store(0);
  return result;
}

uint32_t SendReadData(uint32_t address) { return SendString(wire::ReadDataCommand(address)); }

}  // namespace corvash::bootlink
