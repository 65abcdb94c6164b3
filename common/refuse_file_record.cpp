#include "common/refuse_file_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "common/file_store_paths.h"
#include "common/handheld_folder.h"

namespace corvash::common {
namespace {

constexpr size_t kMaxLine = 512;

struct Armed {
  std::string name;  // empty: no fault
  uint32_t left = 0;
};

// Opens and locks the record; -1 when it cannot be opened.
int OpenLocked(const std::filesystem::path& file, int flags) {
  const int fd = ::open(file.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  return fd;
}

Armed ReadArmed(int fd) {
  char text[kMaxLine];
  const ssize_t count = ::pread(fd, text, sizeof text, 0);
  Armed armed;
  const std::string_view line(text, count > 0 ? static_cast<size_t>(count) : 0);
  // The name may hold blanks; the count follows the last one.
  const size_t blank = line.rfind(' ');
  if (blank == std::string_view::npos || blank == 0) return armed;
  const std::string_view number = line.substr(blank + 1, line.find('\n', blank) - blank - 1);
  if (std::from_chars(number.data(), number.data() + number.size(), armed.left).ec == std::errc()) {
    armed.name = std::string(line.substr(0, blank));
  }
  return armed;
}

bool WriteArmed(int fd, const Armed& armed) {
  const std::string out = armed.name.empty() ? std::string() : armed.name + " " + std::to_string(armed.left) + "\n";
  return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, out.data(), out.size(), 0) == static_cast<ssize_t>(out.size());
}

}  // namespace

std::filesystem::path RefuseFileRecordPath(const std::filesystem::path& storeRoot) {
  std::filesystem::path root = storeRoot.lexically_normal();
  if (!root.has_filename()) root = root.parent_path();  // "STATE/files/"
  return Folder(root.parent_path()).RefuseFilePath();
}

bool RefuseFileRecord::Arm(std::string_view name, uint32_t count, std::string* error) const {
  const int fd = OpenLocked(file_, O_RDWR | O_CREAT);
  const bool done = fd >= 0 && WriteArmed(fd, Armed{std::string(name), count});
  if (fd >= 0) ::close(fd);  // also unlocks
  if (!done) *error = "cannot write " + file_.string();
  return done;
}

void RefuseFileRecord::Clear() const {
  const int fd = OpenLocked(file_, O_RDWR);
  if (fd < 0) return;  // no record, no fault
  WriteArmed(fd, Armed{});
  ::close(fd);
}

CreationCheck::CreationCheck(const std::filesystem::path& record, std::string_view name) {
  // Never made here: a store without a state folder around it has no faults.
  fd_ = OpenLocked(record, O_RDWR);
  if (fd_ < 0) return;
  Armed armed = ReadArmed(fd_);
  armed_ = !armed.name.empty() && SameNameNoCase(name, armed.name);
  name_ = std::move(armed.name);
  left_ = armed.left;
}

CreationCheck::~CreationCheck() {
  if (fd_ >= 0) ::close(fd_);  // also unlocks
}

void CreationCheck::Count() {
  if (!armed_ || left_ == 0) return;
  --left_;
  WriteArmed(fd_, Armed{name_, left_});
}

}  // namespace corvash::common
