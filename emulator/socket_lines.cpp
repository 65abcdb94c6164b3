#include "emulator/socket_lines.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "common/clock.h"

namespace corvash::emulator {
namespace {

constexpr size_t kMaxLine = 128;

}  // namespace

std::optional<std::string> ReadSocketLine(int fd, uint32_t waitMs) {
  const auto deadline = common::DeadlineAfter(waitMs);
  std::string line;
  while (line.size() < kMaxLine) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd fds{fd, POLLIN, 0};
    const int ready = ::poll(&fds, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char byte = 0;
    const ssize_t count = ::recv(fd, &byte, 1, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    if (byte == '\n') return line;
    line.push_back(byte);
  }
  return std::nullopt;
}

void SendSocketLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t sent = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

}  // namespace corvash::emulator
