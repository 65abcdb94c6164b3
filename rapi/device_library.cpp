#include "rapi/device_library.h"

#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "common/clock.h"
#include "common/device_errors.h"
#include "common/device_extension.h"
#include "common/handheld_folder.h"

namespace corvash::rapi {
namespace {

// What the helper reports through its pipe: u32 outcome (0 called, else the
// device error), i32 status, u32 output size, the output.
constexpr int kHelperPipe = 3;

void WriteFully(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t count = ::write(fd, bytes, size);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) ::_exit(1);
    bytes += count;
    size -= static_cast<size_t>(count);
  }
}

[[noreturn]] void Report(uint32_t outcome, int32_t status, const uint8_t* output, uint32_t size) {
  WriteFully(kHelperPipe, &outcome, sizeof outcome);
  WriteFully(kHelperPipe, &status, sizeof status);
  WriteFully(kHelperPipe, &size, sizeof size);
  if (size > 0) WriteFully(kHelperPipe, output, size);
  ::_exit(0);
}

// The library's own export `name`; null when the library does not define it.
// A lookup through the handle also searches what the library depends on, so
// a name such as "exit" would otherwise be found in the C library.
void* OwnExport(void* handle, const std::string& name) {
  void* symbol = ::dlsym(handle, name.c_str());
  if (symbol == nullptr) return nullptr;
  link_map* library = nullptr;
  link_map* definer = nullptr;
  Dl_info info{};
  if (::dlinfo(handle, RTLD_DI_LINKMAP, &library) != 0 ||
      ::dladdr1(symbol, &info, reinterpret_cast<void**>(&definer), RTLD_DL_LINKMAP) == 0) {
    return nullptr;
  }
  return library != nullptr && definer == library ? symbol : nullptr;
}

[[noreturn]] void RunHelper(int pipeFd, const std::string& library, const std::string& function,
                            std::vector<uint8_t>& input, const std::string& stateDir, uint32_t maxOutput) {
  if (pipeFd != kHelperPipe && ::dup2(pipeFd, kHelperPipe) < 0) ::_exit(1);
  ::close_range(kHelperPipe + 1, ~0u, 0);
  ::setenv(common::kStateVariable, stateDir.c_str(), 1);
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) Report(common::ERROR_MOD_NOT_FOUND, 0, nullptr, 0);
  auto* export_ = reinterpret_cast<DeviceExtensionFunction>(OwnExport(handle, function));
  if (export_ == nullptr) Report(common::ERROR_PROC_NOT_FOUND, 0, nullptr, 0);
  uint32_t size = 0;
  uint8_t* output = nullptr;
  const int32_t status = export_(static_cast<uint32_t>(input.size()), input.empty() ? nullptr : input.data(),
                                 &size, &output, nullptr);
  if (output == nullptr) size = 0;
  if (size > maxOutput) Report(common::ERROR_INVALID_DATA, status, nullptr, 0);
  // The bytes go out before the block is freed: the layer owns the output.
  WriteFully(kHelperPipe, "\0\0\0\0", 4);
  WriteFully(kHelperPipe, &status, sizeof status);
  WriteFully(kHelperPipe, &size, sizeof size);
  if (size > 0) WriteFully(kHelperPipe, output, size);
  common::DeviceLocalFree(output);
  ::_exit(0);
}

// Everything the helper wrote, until it closes the pipe or the deadline.
bool ReadReport(int fd, std::vector<uint8_t>* bytes, std::chrono::steady_clock::time_point deadline) {
  uint8_t piece[65536];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left < 0) return false;
    pollfd fds{fd, POLLIN, 0};
    const int ready = ::poll(&fds, 1, static_cast<int>(std::min<long long>(left + 1, 1 << 30)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t count = ::read(fd, piece, sizeof piece);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return count == 0;
    bytes->insert(bytes->end(), piece, piece + count);
  }
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

}  // namespace

InvokeOutcome InvokeInHelper(const std::filesystem::path& library, const std::string& function,
                             std::span<const uint8_t> input, const std::filesystem::path& stateDir,
                             uint32_t limitMs, uint32_t maxOutput) {
  InvokeOutcome outcome;
  outcome.lastError = common::ERROR_ACCESS_DENIED;
  // Everything the helper needs is made before the fork.
  const std::string libraryText = library.string();
  const std::string stateText = stateDir.string();
  std::vector<uint8_t> inputCopy(input.begin(), input.end());
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return outcome;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    RunHelper(fds[1], libraryText, function, inputCopy, stateText, maxOutput);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return outcome;
  }
  std::vector<uint8_t> report;
  const bool complete = ReadReport(fds[0], &report, common::DeadlineAfter(limitMs));
  ::close(fds[0]);
  if (!complete) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.size() < 12) return outcome;
  const uint32_t result = U32At(report, 0);
  const uint32_t size = U32At(report, 8);
  if (result != 0) {
    outcome.lastError = result;
    return outcome;
  }
  if (report.size() != 12 + static_cast<size_t>(size)) return outcome;
  outcome.called = true;
  outcome.lastError = 0;
  outcome.status = static_cast<int32_t>(U32At(report, 4));
  outcome.output.assign(report.begin() + 12, report.end());
  return outcome;
}

}  // namespace corvash::rapi
