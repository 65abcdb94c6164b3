#include "desktop/handheld/backup_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

namespace corvash::handheld {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kBackupMode = 0644;
constexpr int kNameAttempts = 100;

std::string FolderOf(const std::string& target) {
  const fs::path folder = fs::path(target).parent_path();
  return folder.empty() ? "." : folder.string();
}

// A hidden name beside the target: ".<name>.XXXXXX".
std::string HiddenName(const std::string& target, const std::string& suffix) {
  return (fs::path(FolderOf(target)) / ("." + fs::path(target).filename().string() + "." + suffix)).string();
}

// Whether an existing target may be replaced: a regular file that opens for
// writing (opening it changes nothing). A missing one may be made.
bool TargetWritable(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

BackupFile::~BackupFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!named_.empty()) ::unlink(named_.c_str());
}

bool BackupFile::Create(const std::string& target) {
  target_ = target;
  if (!TargetWritable(target)) return false;
  fd_ = ::open(FolderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, kBackupMode);
  // EISDIR: a kernel that does not know O_TMPFILE took it for O_DIRECTORY.
  if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) return CreateNamed();
  if (fd_ < 0) return false;
  ::fchmod(fd_, kBackupMode);
  return true;
}

bool BackupFile::CreateNamed() {
  std::string pattern = HiddenName(target_, "XXXXXX");
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  named_ = pattern;
  ::fchmod(fd_, kBackupMode);
  return true;
}

bool BackupFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Gives the unnamed file a hidden name beside the target, to be renamed over it.
bool BackupFile::LinkIn() {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  std::random_device random;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    const std::string name = HiddenName(target_, suffix);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      named_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool BackupFile::Complete() {
  if (fd_ < 0 || ::fsync(fd_) != 0) return false;
  if (named_.empty() && !LinkIn()) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return false;
  if (::rename(named_.c_str(), target_.c_str()) != 0) return false;
  named_.clear();
  return true;
}

}  // namespace corvash::handheld
