#pragma once
// Free space for a backup target.
//
// DiskSpace::AvailableBytes(path) -> the bytes available to an unprivileged
// user on the file system holding the folder of `path`; nullopt when it
// cannot be determined. The program hands a StatvfsDiskSpace to whoever
// asks; tests hand their own. Any thread.
#include <cstdint>
#include <optional>
#include <string>

namespace corvash::image {

// Space a backup needs on its target's file system: 48 MiB.
inline constexpr uint64_t kBackupFreeSpace = 0x3000000;

class DiskSpace {
 public:
  virtual ~DiskSpace() = default;
  virtual std::optional<uint64_t> AvailableBytes(const std::string& path) = 0;
};

// statvfs (f_bavail * f_frsize) on the folder of `path` ("." when it names no folder).
class StatvfsDiskSpace final : public DiskSpace {
 public:
  std::optional<uint64_t> AvailableBytes(const std::string& path) override;
};

// Whether `available` bytes are enough for a backup; unknown space is not.
inline bool EnoughForBackup(std::optional<uint64_t> available) {
  return available.has_value() && *available >= kBackupFreeSpace;
}

}  // namespace corvash::image
