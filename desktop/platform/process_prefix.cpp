#include "desktop/platform/process_prefix.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace corvash::platform {
namespace {

namespace fs = std::filesystem;

fs::path ProcDir(pid_t pid) { return fs::path("/proc") / std::to_string(pid); }

// Whether the process's real and effective user ids ("Uid:" line of its
// status: real, effective, saved, file system) are this process's user.
bool SameUser(const fs::path& proc) {
  std::ifstream status(proc / "status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream ids(line.substr(4));
    long real = -1;
    long effective = -1;
    ids >> real >> effective;
    const long own = static_cast<long>(::getuid());
    return ids && real == own && effective == own;
  }
  return false;
}

struct PrefixEnvironment {
  std::optional<std::string> prefix;  // CORVASH_PREFIX, when set and not empty
  std::optional<std::string> home;    // HOME, when set and not empty
};

// nullopt when the environment cannot be read (another user's process, or
// one that is gone).
std::optional<PrefixEnvironment> ReadEnvironment(const fs::path& proc) {
  std::ifstream file(proc / "environ", std::ios::binary);
  if (!file) return std::nullopt;
  PrefixEnvironment found;
  for (std::string entry; std::getline(file, entry, '\0');) {
    if (entry.rfind("CORVASH_PREFIX=", 0) == 0 && entry.size() > 15) found.prefix = entry.substr(15);
    if (entry.rfind("HOME=", 0) == 0 && entry.size() > 5) found.home = entry.substr(5);
  }
  if (file.bad()) return std::nullopt;
  return found;
}

// `path` resolved through its links, without a trailing separator; nullopt
// when it cannot be resolved.
std::optional<fs::path> Resolved(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(path, error).lexically_normal();
  if (error) return std::nullopt;
  if (!resolved.has_filename() && resolved.has_relative_path()) resolved = resolved.parent_path();
  return resolved;
}

// The prefix the process finds for itself, absolute; nullopt when it cannot be told.
std::optional<fs::path> PrefixOf(const fs::path& proc) {
  const std::optional<PrefixEnvironment> environment = ReadEnvironment(proc);
  if (!environment) return std::nullopt;
  fs::path prefix = environment->prefix ? fs::path(*environment->prefix)
                                        : fs::path(environment->home.value_or(".")) / ".corvash";
  if (prefix.is_relative()) {
    std::error_code error;
    const fs::path folder = fs::read_symlink(proc / "cwd", error);
    if (error || folder.is_relative()) return std::nullopt;
    prefix = folder / prefix;
  }
  return Resolved(prefix);
}

// The process descriptor calls go through syscall(2): this C library's
// <sys/pidfd.h> declares them without C linkage for C++.
class ProcessHandle {
 public:
  explicit ProcessHandle(pid_t pid) : fd_(pid > 0 ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1) {}
  ~ProcessHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  bool Valid() const { return fd_ >= 0; }
  bool Kill() const { return ::syscall(SYS_pidfd_send_signal, fd_, SIGKILL, nullptr, 0) == 0; }

 private:
  int fd_;
};

}  // namespace

bool BelongsToPrefix(pid_t pid, const fs::path& prefix) {
  if (pid <= 0) return false;
  const fs::path proc = ProcDir(pid);
  if (!SameUser(proc)) return false;
  const std::optional<fs::path> theirs = PrefixOf(proc);
  if (!theirs) return false;
  const std::optional<fs::path> ours = Resolved(prefix);
  return ours && *theirs == *ours;
}

bool TerminatePrefixProcess(pid_t pid, const fs::path& prefix) {
  const ProcessHandle process(pid);
  return process.Valid() && BelongsToPrefix(pid, prefix) && process.Kill();
}

}  // namespace corvash::platform
