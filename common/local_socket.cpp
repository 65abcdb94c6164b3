#include "common/local_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace corvash::common {
namespace {

// A socket address for a path, holding the folder open while a long path is
// reached through it.
class LocalAddress {
 public:
  explicit LocalAddress(const std::filesystem::path& path) {
    address_.sun_family = AF_UNIX;
    if (Fill(path.string())) return;
    folder_ = ::open(path.has_parent_path() ? path.parent_path().c_str() : ".",
                     O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ >= 0) Fill("/proc/self/fd/" + std::to_string(folder_) + "/" + path.filename().string());
  }
  ~LocalAddress() {
    if (folder_ >= 0) ::close(folder_);
  }
  LocalAddress(const LocalAddress&) = delete;
  LocalAddress& operator=(const LocalAddress&) = delete;

  bool usable() const { return usable_; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t size() const { return sizeof address_; }

 private:
  bool Fill(const std::string& text) {
    if (text.empty() || text.size() >= sizeof address_.sun_path) return false;
    std::memcpy(address_.sun_path, text.c_str(), text.size() + 1);
    usable_ = true;
    return true;
  }

  sockaddr_un address_{};
  int folder_ = -1;
  bool usable_ = false;
};

// Sets the socket's send time-out (which also bounds its connect); zero
// means no limit, so a positive duration is never rounded down to zero.
bool SetSendTimeout(int fd, std::chrono::steady_clock::duration limit) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(limit).count();
  const long long capped = limit == limit.zero() ? 0 : std::clamp<long long>(micros, 1, 86400LL * 1000000);
  timeval value{};
  value.tv_sec = static_cast<time_t>(capped / 1000000);
  value.tv_usec = static_cast<suseconds_t>(capped % 1000000);
  return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value) == 0;
}

// Makes room for a new socket at `path`: nothing there is fine, a socket
// nobody listens on is removed; anything else stays and is refused.
bool ClearStaleSocket(const std::filesystem::path& path, std::string* error) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno == ENOENT) return true;
    *error = "cannot look at " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISSOCK(status.st_mode)) {
    *error = path.string() + " is in the way: it is not a socket";
    return false;
  }
  if (LocalSocketServed(path)) {
    *error = path.string() + " is served by another process";
    return false;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    *error = "cannot remove the stale socket " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

int ListenLocal(const std::filesystem::path& path, int backlog, std::string* error) {
  const LocalAddress address(path);
  if (!address.usable()) {
    *error = "cannot name a socket at " + path.string();
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("cannot make a socket: ") + std::strerror(errno);
    return -1;
  }
  if (!ClearStaleSocket(path, error)) {
    ::close(fd);
    return -1;
  }
  const mode_t oldMask = ::umask(0177);
  const int bound = ::bind(fd, address.get(), address.size());
  const int bindError = errno;
  ::umask(oldMask);
  if (bound != 0 || ::listen(fd, backlog) != 0) {
    *error = "cannot listen on " + path.string() + ": " + std::strerror(bound != 0 ? bindError : errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

int ConnectLocal(const std::filesystem::path& path, uint32_t waitMs) {
  const LocalAddress address(path);
  if (!address.usable()) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // A Unix socket's connect waits for room in a full backlog as long as the
  // socket's send time-out allows.
  const bool limited = waitMs != kInfinite;
  if (limited && !SetSendTimeout(fd, ScaledDuration(waitMs))) {
    ::close(fd);
    return -1;
  }
  if (::connect(fd, address.get(), address.size()) == 0 &&
      (!limited || SetSendTimeout(fd, std::chrono::steady_clock::duration::zero()))) {
    return fd;
  }
  ::close(fd);
  return -1;
}

bool LocalSocketServed(const std::filesystem::path& path) {
  const LocalAddress address(path);
  if (!address.usable()) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const bool served = ::connect(fd, address.get(), address.size()) == 0 || errno == EAGAIN;
  ::close(fd);
  return served;
}

}  // namespace corvash::common
