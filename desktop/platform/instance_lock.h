#pragma once
// The single-instance guard of the desktop program: an advisory lock on the
// prefix's SETUP.lock, held while the program runs. Released by the
// destructor, or by the system when the process ends.
#include <filesystem>

namespace corvash::platform {

class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock; false when another holder
  // exists. A lock file that cannot be created counts as not held by
  // anyone else: the program then runs unguarded rather than not at all.
  bool TryAcquire();
  bool Held() const { return held_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace corvash::platform
