#include "desktop/bootlink/port_test.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "common/loader_wire.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/receive_thread.h"
#include "common/clock.h"
#include "common/event.h"
#include "desktop/platform/prefix.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {

using common::SleepMs;

const std::array<PortCandidate, 4> PORT_CANDIDATES = {{
    {"com1", common::COM1_TEST_LINE, 1},
    {"wceusbsh001", common::USB_TEST_LINE, 0},
    {"wceusbsh002", common::USB_TEST_LINE, 0},
    {"com2", common::COM2_TEST_LINE, 1},
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

void StopSyncProcesses(const SyncStopper& stopSync) {
  if (stopSync) {
    stopSync();
  } else {
    platform::Trace("\r\n No sync-process control installed; ports not freed\r\n");
  }
}

// Opens the node at `path` into the link's port; false when it cannot be
// had (`opened` then tells why).
bool OpenCandidate(LoaderLink& link, const std::filesystem::path& path, const PortCandidate& candidate,
                   platform::PortOpenResult& opened) {
  if (path.empty()) {
    opened.error = ENOENT;
  } else {
    opened = platform::OpenSerialPort(path);
  }
  if (opened.port) {
    link.PublishPort(opened.port);
    return true;
  }
  platform::TraceF("\r\n Open %.*s failed: %s\r\n", static_cast<int>(candidate.name.size()),
                   candidate.name.data(), std::strerror(opened.error));
  if (opened.accessDenied) {
    SleepMs(kAccessDeniedMs);
    link.PublishPort(nullptr);
    SleepMs(kAccessDeniedMoreMs);
  } else {
    link.PublishPort(nullptr);
  }
  return false;
}

// Waits until the reader runs, looking as soon as the reader announces its
// start or its end and at least every 10 ms; false when it ended without
// running or has not started within the limit.
bool WaitForReader(LoaderLink& link) {
  const auto deadline = common::DeadlineAfter(kReaderStartLimitMs);
  for (;;) {
    const uint64_t seen = link.Signals().Count();
    if (link.readerRunning.load() == 1) return true;
    if (!link.ReaderAlive() || std::chrono::steady_clock::now() >= deadline) {
      platform::Trace("\r\n Receive thread did not start\r\n");
      return false;
    }
    link.Signals().Wait(seen, kPollMs);
  }
}

// Waits up to 3000 ms for the echo of `testLine`. The event is waited on in
// short slices with a look at the reply between them, so that an echo whose
// pulse came before the wait began is taken at once.
bool WaitForEcho(LoaderLink& link, std::string_view testLine) {
  const auto deadline = common::DeadlineAfter(kEchoWaitMs);
  for (;;) {
    if (common::Contains(link.PortTestReply(), testLine)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    link.PortTestEvent().Wait(kPollMs);
  }
}

// One attempt on an opened port: line, reader, test line, echo.
bool ProbeCandidate(LoaderLink& link, const PortCandidate& candidate, bool& readerStarted) {
  auto port = link.Port();
  if (!port->Configure()) {
    platform::Trace("\r\n Port settings refused\r\n");
    return false;
  }
  link.linkClosed.store(0);
  readerStarted = StartReceiveThread(link);
  if (!readerStarted || !WaitForReader(link)) return false;
  link.SendString(common::CR_BURST);
  link.SendString(candidate.testLine);
  return WaitForEcho(link, candidate.testLine);
}

// Gives up the port and the reader of a failed attempt.
void AbandonAttempt(LoaderLink& link, bool readerStarted) {
  if (link.Port() || readerStarted) {
    link.DeclareClosed();
    SleepMs(kReaderStopMs);
    link.ClosePort();
  }
  if (readerStarted) {
    SleepMs(kReaderStopMs);
    link.JoinReader();
  }
}

}  // namespace

PortAnswer ProbePort(LoaderLink& link, const std::filesystem::path& path, const PortCandidate& candidate) {
  platform::PortOpenResult opened;
  if (!OpenCandidate(link, path, candidate, opened)) {
    return opened.accessDenied || opened.error == EBUSY ? PortAnswer::kBusy : PortAnswer::kMissing;
  }
  // Only an echo heard during this attempt counts.
  link.SetPortTestReply("");
  bool readerStarted = false;
  if (ProbeCandidate(link, candidate, readerStarted)) {
    link.serialLink.store(candidate.serialLink);
    return PortAnswer::kLoader;
  }
  AbandonAttempt(link, readerStarted);
  return PortAnswer::kSilent;
}

namespace {

// Frees the ports and lets them settle, after a link left from before.
void PrepareTest(LoaderLink& link, const SyncStopper& stopSync) {
  if (link.ReaderStarted()) link.Close();  // the old link goes before a new one is sought
  StopSyncProcesses(stopSync);
  SleepMs(kSettleAfterStopMs);
}

uint32_t GiveUp(LoaderLink& link) {
  if (link.ClosePort()) SleepMs(kAfterLastAttemptMs);
  return 0;
}

}  // namespace

uint32_t TestPorts(LoaderLink& link, const SyncStopper& stopSync, std::string_view* found) {
  PrepareTest(link, stopSync);
  size_t index = PORT_CANDIDATES.size() - 1;
  for (int attempt = 0; attempt < PORT_TEST_ATTEMPTS; ++attempt) {
    index = (index + 1) % PORT_CANDIDATES.size();
    const PortCandidate& candidate = PORT_CANDIDATES[index];
    SleepMs(kBeforeAttemptMs);
    if (ProbePort(link, platform::DosDevicePath(std::string(candidate.name)), candidate) == PortAnswer::kLoader) {
      if (found) *found = candidate.name;
      return 1;
    }
  }
  return GiveUp(link);
}

uint32_t TestPort(LoaderLink& link, const std::filesystem::path& path, const PortCandidate& candidate,
                  const SyncStopper& stopSync) {
  PrepareTest(link, stopSync);
  const int attempts = PORT_TEST_ATTEMPTS / static_cast<int>(PORT_CANDIDATES.size());
  for (int attempt = 0; attempt < attempts; ++attempt) {
    SleepMs(kBeforeAttemptMs);
    if (ProbePort(link, path, candidate) == PortAnswer::kLoader) return 1;
  }
  return GiveUp(link);
}

}  // namespace corvash::bootlink
