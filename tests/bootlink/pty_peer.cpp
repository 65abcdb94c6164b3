#include "tests/bootlink/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace corvash::test {

PtyPeer::PtyPeer(Mode mode, Handler handler) : mode_(mode), handler_(std::move(handler)) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("no pty");
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no pty name");
  slavePath_ = name;
  thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer() { Drop(); }

void PtyPeer::Drop() {
  stop_.store(true);
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  std::lock_guard lock(writeMutex_);
  if (dropped_.exchange(true)) return;
  ::close(master_);
}

void PtyPeer::Send(std::string_view bytes) {
  std::lock_guard lock(writeMutex_);
  if (dropped_.load()) return;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return;
    }
  }
}

void PtyPeer::Serve() {
  char buffer[4096];
  while (!stop_.load() && !dropped_.load()) {
    pollfd fd{master_, POLLIN, 0};
    const int ready = ::poll(&fd, 1, 5);
    if (ready <= 0 || dropped_.load()) continue;
    if ((fd.revents & POLLIN) == 0) {  // no slave open right now
      ::usleep(500);
      continue;
    }
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) {
      ::usleep(500);
      continue;
    }
    const std::string_view got(buffer, static_cast<size_t>(n));
    {
      std::lock_guard lock(mutex_);
      if (firstByte_ == std::chrono::steady_clock::time_point{}) {
        firstByte_ = std::chrono::steady_clock::now();
      }
      received_.append(got);
    }
    std::string reply;
    if (mode_ == Mode::kEcho) {
      for (char c : got) {
        reply.push_back(c);
        if (c == '\r') reply.push_back('\n');
      }
    } else if (mode_ == Mode::kHandler) {
      reply = handler_(got);
    }
    if (!reply.empty()) Send(reply);
  }
}

std::string PtyPeer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void PtyPeer::ClearReceived() {
  std::lock_guard lock(mutex_);
  received_.clear();
}

bool PtyPeer::WaitReceived(size_t count, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Received().size() >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return Received().size() >= count;
}

std::chrono::steady_clock::time_point PtyPeer::FirstByteTime() const {
  std::lock_guard lock(mutex_);
  return firstByte_;
}

PortHolder::PortHolder(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

PortHolder::~PortHolder() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace corvash::test
