#include "rapi/device_process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common/device_errors.h"
#include "common/handheld_folder.h"

extern char** environ;

namespace corvash::rapi {
namespace {

std::vector<std::string> EnvironmentFor(const std::filesystem::path& stateDir) {
  const std::string key = std::string(common::kStateVariable) + "=";
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, key.c_str(), key.size()) != 0) entries.emplace_back(*entry);
  }
  entries.push_back(key + stateDir.string());
  return entries;
}

uint32_t ExecError(int error) {
  switch (error) {
    case ENOENT: return common::ERROR_FILE_NOT_FOUND;
    case ENOEXEC: return common::ERROR_BAD_EXE_FORMAT;
    default: return common::ERROR_ACCESS_DENIED;
  }
}

}  // namespace

bool StartDeviceProgram(const std::filesystem::path& program, const std::filesystem::path& stateDir,
                        uint32_t* lastError) {
  struct stat info {};
  if (::lstat(program.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    *lastError = common::ERROR_FILE_NOT_FOUND;
    return false;
  }
  ::chmod(program.c_str(), (info.st_mode & 07777) | S_IXUSR);
  // Everything the child needs is made before the fork.
  const std::string path = program.string();
  std::vector<std::string> environment = EnvironmentFor(stateDir);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string argv0 = path;
  char* argv[] = {argv0.data(), nullptr};
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  int report[2];
  if (devNull < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
    if (devNull >= 0) ::close(devNull);
    *lastError = common::ERROR_ACCESS_DENIED;
    return false;
  }
  const pid_t middle = ::fork();
  if (middle == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    // Nothing of the handheld's (sockets, open store files) passes to the program.
    ::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
    ::execve(path.c_str(), argv, envp.data());
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  ::close(devNull);
  if (middle < 0) {
    ::close(report[0]);
    *lastError = common::ERROR_ACCESS_DENIED;
    return false;
  }
  while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes at a successful exec; an error number comes through it otherwise.
  int error = 0;
  ssize_t count = 0;
  do {
    count = ::read(report[0], &error, sizeof error);
  } while (count < 0 && errno == EINTR);
  ::close(report[0]);
  if (count == static_cast<ssize_t>(sizeof error)) {
    *lastError = ExecError(error);
    return false;
  }
  *lastError = 0;
  return true;
}

}  // namespace corvash::rapi
