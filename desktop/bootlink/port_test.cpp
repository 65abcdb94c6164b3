#include "desktop/bootlink/port_test.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/link_waits.h"
#include "desktop/bootlink/receive_thread.h"
#include "common/clock.h"
#include "common/event.h"
#include "desktop/platform/prefix.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using platform::SleepMs;

const std::array<PortCandidate, 4> PORT_CANDIDATES = {{
    {"com1", wire::COM1_TEST_LINE, 1},
    {"wceusbsh001", wire::USB_TEST_LINE, 0},
    {"wceusbsh002", wire::USB_TEST_LINE, 0},
    {"com2", wire::COM2_TEST_LINE, 1},
}};

namespace {

constexpr uint32_t kSettleAfterStopMs = 2000;
constexpr uint32_t kBeforeAttemptMs = 500;
constexpr uint32_t kAccessDeniedMs = 100;
constexpr uint32_t kAccessDeniedMoreMs = 1000;
constexpr uint32_t kEchoWaitMs = 3000;
constexpr uint32_t kReaderStopMs = 1000;
constexpr uint32_t kPollMs = 10;
// A reader that has not started within this time never will.
constexpr uint32_t kReaderStartLimitMs = 10000;
constexpr uint32_t kAfterLastAttemptMs = 2000;

std::atomic<SyncStopper> g_syncStopper{nullptr};

void StopSyncProcesses() {
  if (SyncStopper stopper = g_syncStopper.load()) {
    stopper();
  } else {
    platform::Trace("\r\n No sync-process control installed; ports not freed\r\n");
  }
}

// Opens the candidate's port into linkHandle; false when it cannot be had.
bool OpenCandidate(const PortCandidate& candidate) {
  auto& session = session::Session();
  const auto path = platform::DosDevicePath(std::string(candidate.name));
  platform::PortOpenResult opened;
  if (path.empty()) {
    opened.error = ENOENT;
  } else {
    opened = platform::OpenSerialPort(path);
  }
  if (opened.port) {
    PublishLinkHandle(opened.port);
    return true;
  }
  platform::TraceF("\r\n Open %.*s failed: %s\r\n", static_cast<int>(candidate.name.size()),
                   candidate.name.data(), std::strerror(opened.error));
  if (opened.accessDenied) {
    SleepMs(kAccessDeniedMs);
    session.linkHandle.store(nullptr);
    SleepMs(kAccessDeniedMoreMs);
  } else {
    session.linkHandle.store(nullptr);
  }
  return false;
}

// Waits until the reader runs, looking as soon as the reader announces its
// start or its end and at least every 10 ms; false when it ended without
// running or has not started within the limit.
bool WaitForReader() {
  const auto deadline = platform::DeadlineAfter(kReaderStartLimitMs);
  for (;;) {
    const uint64_t seen = LinkChangeCount();
    if (session::Session().readerRunning.load() == 1) return true;
    if (!ReceiveThreadAlive() || std::chrono::steady_clock::now() >= deadline) {
      platform::Trace("\r\n Receive thread did not start\r\n");
      return false;
    }
    WaitLinkChange(seen, kPollMs);
  }
}

// Waits up to 3000 ms for the echo of `testLine`. The event is waited on in
// short slices with a look at the reply between them, so that an echo whose
// pulse came before the wait began is taken at once.
bool WaitForEcho(platform::Event& event, std::string_view testLine) {
  auto& session = session::Session();
  const auto deadline = platform::DeadlineAfter(kEchoWaitMs);
  for (;;) {
    if (platform::Contains(session.PortTestReply(), testLine)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    event.Wait(kPollMs);
  }
}

// One attempt on an opened port: line, reader, test line, echo.
bool ProbeCandidate(const PortCandidate& candidate, platform::Event& event, bool& readerStarted) {
  auto& session = session::Session();
  auto port = session.linkHandle.load();
  if (!port->Configure()) {
    platform::Trace("\r\n Port settings refused\r\n");
    return false;
  }
  session.linkClosed.store(0);
  readerStarted = StartReceiveThread();
  if (!readerStarted || !WaitForReader()) return false;
  SendString(wire::CR_BURST);
  SendString(candidate.testLine);
  return WaitForEcho(event, candidate.testLine);
}

// Gives up the port and the reader of a failed attempt.
void AbandonAttempt(bool readerStarted) {
  auto& session = session::Session();
  if (session.linkHandle.load() || readerStarted) {
    DeclareLinkClosed();
    SleepMs(kReaderStopMs);
    if (auto port = session.linkHandle.exchange(nullptr)) port->Close();
  }
  if (readerStarted) {
    SleepMs(kReaderStopMs);
    JoinReceiveThread();
  }
}

}  // namespace

void SetSyncStopper(SyncStopper stopper) { g_syncStopper.store(stopper); }

uint32_t TestPorts() {
  auto& session = session::Session();
  if (ReceiveThreadStarted()) ShutdownLink();  // the old link goes before a new one is sought
  StopSyncProcesses();
  SleepMs(kSettleAfterStopMs);

  size_t index = PORT_CANDIDATES.size() - 1;
  for (int attempt = 0; attempt < PORT_TEST_ATTEMPTS; ++attempt) {
    index = (index + 1) % PORT_CANDIDATES.size();
    const PortCandidate& candidate = PORT_CANDIDATES[index];
    SleepMs(kBeforeAttemptMs);
    auto event = platform::CreateNamedEvent(PORT_TEST_EVENT, false, false);
    if (!OpenCandidate(candidate)) continue;
    // Only an echo heard during this attempt counts.
    session.SetPortTestReply("");
    bool readerStarted = false;
    if (ProbeCandidate(candidate, *event, readerStarted)) {
      session.serialLink.store(candidate.serialLink);
      return 1;
    }
    AbandonAttempt(readerStarted);
  }
  if (auto port = session.linkHandle.exchange(nullptr)) {
    port->Close();
    SleepMs(kAfterLastAttemptMs);
  }
  return 0;
}

}  // namespace corvash::bootlink
