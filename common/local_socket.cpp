#include "common/local_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvash::platform {
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
  ::unlink(path.c_str());
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

int ConnectLocal(const std::filesystem::path& path) {
  const LocalAddress address(path);
  if (!address.usable()) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, address.get(), address.size()) == 0) return fd;
  ::close(fd);
  return -1;
}

}  // namespace corvash::platform
