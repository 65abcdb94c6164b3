#include "rapi/device_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "common/clock.h"
#include "common/local_socket.h"
#include "rapi/message_stream.h"

namespace corvash::rapi {
namespace {

// How long the rest of a message may take once its header is in, and how
// long an answer may wait for the desktop to take it.
constexpr uint32_t kBodyWaitMs = 30000;
constexpr uint32_t kAnswerWaitMs = 30000;
// Pause after a failed accept before the next try.
constexpr uint32_t kAcceptPauseMs = 100;

}  // namespace

struct DeviceServer::Connection {
  int fd = -1;
  std::thread thread;
  std::atomic<bool> finished{false};
  // Waiting for the desktop's next message, and since when (TickMs).
  std::atomic<bool> idle{true};
  std::atomic<uint64_t> idleSince{0};
};

std::unique_ptr<DeviceServer> DeviceServer::Start(const std::filesystem::path& socketPath, DeviceEndConfig config,
                                                  std::string* error) {
  std::unique_ptr<DeviceServer> server(new DeviceServer());
  server->path_ = socketPath;
  server->config_ = std::move(config);
  if (::pipe2(server->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = std::string("cannot make the remote API socket: ") + std::strerror(errno);
    return nullptr;
  }
  server->listen_ = common::ListenLocal(socketPath, 8, error);
  if (server->listen_ < 0) return nullptr;
  server->acceptor_ = std::thread([raw = server.get()] { raw->Accept(); });
  return server;
}

DeviceServer::~DeviceServer() {
  if (wake_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
  }
  if (acceptor_.joinable()) acceptor_.join();
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(path_.c_str());
  }
  {
    std::lock_guard lock(mutex_);
    // Wakes every connection's read; each thread then ends.
    for (auto& connection : connections_) ::shutdown(connection->fd, SHUT_RDWR);
  }
  for (auto& connection : connections_) {
    if (connection->thread.joinable()) connection->thread.join();
    ::close(connection->fd);
  }
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
}

void DeviceServer::Accept() {
  for (;;) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return;
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      Admit(fd);
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
    // Out of descriptors or memory: what has ended gives its descriptor
    // back, and the waiting connection is tried again after a pause
    // instead of at once and for ever.
    {
      std::lock_guard lock(mutex_);
      ReapFinished();
    }
    if (StopRequested(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(common::ScaledDuration(kAcceptPauseMs)).count() +
            1))) {
      return;
    }
  }
}

bool DeviceServer::StopRequested(int ms) {
  pollfd wake{wake_[0], POLLIN, 0};
  return ::poll(&wake, 1, ms) > 0;
}

void DeviceServer::Admit(int fd) {
  std::lock_guard lock(mutex_);
  ReapFinished();
  if (connections_.size() >= kMaxConnections && !MakeRoomLocked()) {
    ::close(fd);  // refused: the desktop sees the connection close
    return;
  }
  auto connection = std::make_unique<Connection>();
  connection->fd = fd;
  connection->idleSince = common::TickMs();
  Connection* raw = connection.get();
  try {
    raw->thread = std::thread([this, raw] { Serve(raw); });
  } catch (const std::system_error&) {
    ::close(fd);  // no thread to serve it: refused like one past the bound
    return;
  }
  connections_.push_back(std::move(connection));
}

bool DeviceServer::MakeRoomLocked() {
  const uint64_t now = common::TickMs();
  Connection* longest = nullptr;
  for (auto& connection : connections_) {
    if (!connection->idle.load() || connection->finished.load()) continue;
    if (longest == nullptr || connection->idleSince.load() < longest->idleSince.load()) longest = connection.get();
  }
  if (longest == nullptr || now - longest->idleSince.load() < kIdleMs) return false;
  // Its thread sees the connection end and finishes; it is reaped later.
  ::shutdown(longest->fd, SHUT_RDWR);
  longest->idle = false;
  return true;
}

void DeviceServer::ReapFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if ((*it)->finished.load()) {
      (*it)->thread.join();
      ::close((*it)->fd);
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void DeviceServer::Serve(Connection* connection) {
  DeviceSession session(config_);
  const int fd = connection->fd;
  for (bool first = true;; first = false) {
    connection->idleSince = common::TickMs();
    connection->idle = true;
    // Between messages the desktop may take its time; a message begun must
    // come whole within the body wait, its header too.
    if (!wire::WaitForInput(fd, first ? kFirstMessageMs : common::kInfinite)) break;
    connection->idle = false;
    wire::RawMessage message;
    const wire::ReadStatus status = wire::ReadMessage(fd, &message, kBodyWaitMs, kBodyWaitMs);
    if (status == wire::ReadStatus::Closed || status == wire::ReadStatus::TimedOut) break;
    wire::Answer answer;
    if (status == wire::ReadStatus::TooLong) {
      answer = DeviceSession::Refusal();
      // Its body is dropped so that the next message starts where it should.
      if (!wire::WriteAll(fd, wire::EncodeAnswer(answer), kAnswerWaitMs) ||
          !wire::Discard(fd, message.header.length, kBodyWaitMs)) {
        break;
      }
      continue;
    }
    const auto request = wire::DecodeRequest(message.header.kind, message.payload);
    answer = request ? session.Handle(*request) : DeviceSession::Refusal();
    if (!wire::WriteAll(fd, wire::EncodeAnswer(answer), kAnswerWaitMs)) break;
  }
  ::shutdown(fd, SHUT_RDWR);
  connection->finished.store(true);
}

}  // namespace corvash::rapi
