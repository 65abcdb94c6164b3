#pragma once
// The backup file while the pull writes it: an unnamed file in the target's
// folder (O_TMPFILE), linked in and renamed over the target only once it is
// complete, so that a failed pull, and a program killed in the middle of one,
// leave an earlier file of that name as it was and nothing beside it. Where
// the file system has no unnamed files, a hidden named file beside the
// target stands in; it is removed on every failure.
#include <cstdint>
#include <span>
#include <string>

namespace corvash::handheld {

class BackupFile {
 public:
  BackupFile() = default;
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;
  ~BackupFile();

  // False (errno says why) when `target` cannot become the backup: it exists
  // and is not a regular file that opens for writing (a folder, a read-only
  // file), or no file can be made in its folder.
  bool Create(const std::string& target);
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Makes the file the target; false (and the target untouched) when it fails.
  bool Complete();

 private:
  bool CreateNamed();
  bool LinkIn();

  int fd_ = -1;
  std::string named_;  // the file's name beside the target once it has one
  std::string target_;
};

}  // namespace corvash::handheld
