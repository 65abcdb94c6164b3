#include "emulator/refuse_file_fault.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "common/file_store_paths.h"

namespace corvash::emulator {
namespace {

constexpr size_t kMaxLine = 512;

}  // namespace

template <typename Step>
bool RefuseFileFault::Locked(Step step) const {
  const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  char text[kMaxLine];
  const ssize_t count = ::pread(fd, text, sizeof text, 0);
  Armed armed;
  const std::string_view line(text, count > 0 ? static_cast<size_t>(count) : 0);
  // The name may hold blanks; the count follows the last one.
  const size_t blank = line.rfind(' ');
  if (blank != std::string_view::npos && blank > 0) {
    const std::string_view number = line.substr(blank + 1, line.find('\n', blank) - blank - 1);
    if (std::from_chars(number.data(), number.data() + number.size(), armed.left).ec == std::errc()) {
      armed.name = std::string(line.substr(0, blank));
    }
  }
  bool written = true;
  if (step(armed)) {
    const std::string out = armed.name.empty() ? std::string() : armed.name + " " + std::to_string(armed.left) + "\n";
    written = ::ftruncate(fd, 0) == 0 &&
              ::pwrite(fd, out.data(), out.size(), 0) == static_cast<ssize_t>(out.size());
  }
  ::close(fd);  // also unlocks
  return written;
}

bool RefuseFileFault::Arm(std::string_view name, uint32_t count, std::string* error) const {
  const bool done = Locked([&](Armed& armed) {
    armed.name = std::string(name);
    armed.left = count;
    return true;
  });
  if (!done) *error = "cannot write " + file_.string();
  return done;
}

void RefuseFileFault::Clear() const {
  Locked([](Armed& armed) {
    armed.name.clear();
    return true;
  });
}

bool RefuseFileFault::AllowCreate(std::string_view name) const {
  bool allow = true;
  Locked([&](Armed& armed) {
    allow = armed.name.empty() || !handheld::SameNameNoCase(name, armed.name) || armed.left > 0;
    return false;
  });
  return allow;
}

void RefuseFileFault::Created(std::string_view name) const {
  Locked([&](Armed& armed) {
    if (armed.name.empty() || !handheld::SameNameNoCase(name, armed.name) || armed.left == 0) return false;
    --armed.left;
    return true;
  });
}

}  // namespace corvash::emulator
