#pragma once
// The single-instance guard of the desktop program: an advisory lock on the
// prefix's SETUP.lock, held while the program runs. Released by the
// destructor, or by the system when the process ends.
#include <filesystem>
#include <string>

namespace corvash::platform {

class InstanceLock {
 public:
  explicit InstanceLock(std::filesystem::path path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock; false when another holder
  // exists or the lock cannot be taken at all (Problem() then says why).
  // A lock that cannot be taken guards nothing, so it never counts as held:
  // two programs must not flash one handheld side by side.
  bool TryAcquire();
  bool Held() const { return held_; }
  // Why the lock file could not be used; empty when another process simply
  // holds it (or nothing went wrong).
  const std::string& Problem() const { return problem_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool held_ = false;
  std::string problem_;
};

}  // namespace corvash::platform
