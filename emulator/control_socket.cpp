#include "emulator/control_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/clock.h"
#include "common/local_socket.h"

namespace corvash::emulator {
namespace {

constexpr size_t kMaxRequest = 256;
// How long either side waits for the other's line.
constexpr uint32_t kRequestWaitMs = 5000;
constexpr uint32_t kAnswerWaitMs = 60000;

// Reads up to the first LF (not kept), or to the end of the stream, within
// `waitMs` system milliseconds.
std::optional<std::string> ReadLine(int fd, uint32_t waitMs) {
  std::string line;
  const auto deadline = common::DeadlineAfter(waitMs);
  while (line.size() < kMaxRequest) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return std::nullopt;
    pollfd fds{fd, POLLIN, 0};
    const int wait = static_cast<int>(
        std::max<long long>(1, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
    const int ready = ::poll(&fds, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char byte = 0;
    const ssize_t count = ::read(fd, &byte, 1);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0 || byte == '\n') return count < 0 ? std::nullopt : std::optional(line);
    line.push_back(byte);
  }
  return line;
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    text.remove_prefix(static_cast<size_t>(count));
  }
}

}  // namespace

std::unique_ptr<ControlServer> ControlServer::Start(const std::filesystem::path& socketPath, Handler handler,
                                                    std::string* error) {
  std::unique_ptr<ControlServer> server(new ControlServer());
  server->path_ = socketPath;
  server->handler_ = std::move(handler);
  if (::pipe2(server->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = std::string("cannot make the control socket: ") + std::strerror(errno);
    return nullptr;
  }
  server->listen_ = common::ListenLocal(socketPath, 4, error);
  if (server->listen_ < 0) return nullptr;
  server->thread_ = std::thread([raw = server.get()] { raw->Serve(); });
  return server;
}

ControlServer::~ControlServer() {
  if (wake_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(path_.c_str());
  }
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
}

void ControlServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return;
    const int connection = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void ControlServer::Answer(int connection) {
  const auto request = ReadLine(connection, kRequestWaitMs);
  if (!request) return;
  WriteAll(connection, handler_(*request) + "\n");
}

std::optional<std::string> SendControlRequest(const std::filesystem::path& socketPath,
                                              std::string_view request) {
  const int fd = common::ConnectLocal(socketPath);
  if (fd < 0) return std::nullopt;
  WriteAll(fd, std::string(request) + "\n");
  const auto answer = ReadLine(fd, kAnswerWaitMs);
  ::close(fd);
  return answer ? *answer : std::string("error the handheld did not answer");
}

}  // namespace corvash::emulator
