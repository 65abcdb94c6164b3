#include "desktop/platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvash::platform {

InstanceLock::InstanceLock(std::filesystem::path path) : path_(std::move(path)) {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

bool InstanceLock::TryAcquire() {
  if (held_) return true;
  problem_.clear();
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    problem_ = "cannot open the instance lock " + path_.string() + ": " + std::strerror(errno);
    return false;
  }
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    ::close(fd_);
    fd_ = -1;
    if (error != EWOULDBLOCK) {
      problem_ = "cannot lock the instance lock " + path_.string() + ": " + std::strerror(error);
    }
    return false;
  }
  held_ = true;
  return true;
}

}  // namespace corvash::platform
