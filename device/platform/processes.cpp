#include "device/platform/processes.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/clock.h"
#include "device/platform/handle_table.h"

namespace corvash::ce {
namespace {

class Process : public KernelObject {
 public:
  explicit Process(int pidfd) : pidfd_(pidfd) {}
  ~Process() override { ::close(pidfd_); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  int pidfd() const { return pidfd_; }

 private:
  int pidfd_;
};

// pidfd calls through the system call itself: the C library's header of
// them is not fit for C++.
int PidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int PidfdSendSignal(int pidfd, int signal) {
  return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
}

// Waits for the pidfd to say that its process ended; true when it did.
bool AwaitEnd(int pidfd, DWORD ms) {
  const auto deadline = common::DeadlineAfter(ms);
  for (;;) {
    int timeout = -1;
    if (ms != INFINITE) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      timeout = left.count() <= 0 ? 0 : static_cast<int>(left.count()) + 1;
    }
    pollfd watch{pidfd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, timeout);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

std::optional<uint64_t> ProcessStartTime(DWORD processId) {
  if (processId == 0) return std::nullopt;
  std::ifstream file("/proc/" + std::to_string(processId) + "/stat");
  std::stringstream text;
  text << file.rdbuf();
  const std::string stat = text.str();
  // The name in parentheses may hold anything; the fields follow its last ')'.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  fields >> state;
  if (state.empty() || state == "Z" || state == "X" || state == "x") return std::nullopt;
  std::string skipped;
  for (int field = 4; field < 22 && fields >> skipped; ++field) {
  }
  uint64_t start = 0;
  if (!(fields >> start)) return std::nullopt;
  return start;
}

HANDLE OpenProcess(DWORD /*dwDesiredAccess*/, BOOL /*bInheritHandle*/, DWORD dwProcessId) {
  if (dwProcessId == 0 || dwProcessId > 0x7FFFFFFFu) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int pidfd = PidfdOpen(static_cast<pid_t>(dwProcessId));
  if (pidfd < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto process = std::make_shared<Process>(pidfd);
  // Ended but not reaped: nothing left to open.
  if (AwaitEnd(pidfd, 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return AddHandle(std::move(process));
}

BOOL TerminateProcess(HANDLE hProcess, UINT /*uExitCode*/) {
  const auto process = FindHandleOf<Process>(hProcess);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (PidfdSendSignal(process->pidfd(), SIGKILL) != 0 && errno != ESRCH) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  const auto process = FindHandleOf<Process>(hHandle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return AwaitEnd(process->pidfd(), dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void ExitProcess(UINT uExitCode) {
  std::fflush(nullptr);
  ::_exit(static_cast<int>(uExitCode));
}

}  // namespace corvash::ce
