#include "desktop/platform/processes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>

#include "desktop/platform/prefix.h"

namespace corvash::platform {
namespace {

namespace fs = std::filesystem;

bool ParsePid(std::string_view text, pid_t* pid) {
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, *pid);
  return error == std::errc() && ptr == end && *pid > 0;
}

// A process that has ended but is not yet reaped (state Z) is no longer one
// to find: ending it again does nothing.
bool IsZombie(const fs::path& procEntry) {
  std::ifstream file(procEntry / "stat");
  std::string stat;
  std::getline(file, stat);
  const size_t close = stat.rfind(')');  // the name may hold blanks and parentheses
  return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z';
}

bool Alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

std::string FirstLine(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> processes;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    ProcessEntry process;
    if (!ParsePid(entry.path().filename().string(), &process.pid) || IsZombie(entry.path())) continue;
    process.name = FirstLine(entry.path() / "comm");
    std::error_code linkError;
    process.executable = fs::read_symlink(entry.path() / "exe", linkError).string();
    processes.push_back(std::move(process));
  }
  std::sort(processes.begin(), processes.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return processes;
}

fs::path TopLevelWindowsDir() { return PrefixDir() / "toplevel"; }

std::vector<TopLevelWindow> ListTopLevelWindows() {
  struct Found {
    fs::file_time_type time;
    std::string name;
    TopLevelWindow window;
  };
  std::vector<Found> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(TopLevelWindowsDir(), error)) {
    const std::string name = entry.path().filename().string();
    Found item{entry.last_write_time(error), name, {}};
    if (!ParsePid(std::string_view(name).substr(0, name.find('.')), &item.window.owner)) continue;
    if (!Alive(item.window.owner)) continue;  // left behind by a process that was killed
    item.window.title = FirstLine(entry.path());
    found.push_back(std::move(item));
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.time != b.time ? a.time < b.time : a.name < b.name;
  });
  std::vector<TopLevelWindow> windows;
  for (Found& item : found) windows.push_back(std::move(item.window));
  return windows;
}

bool TerminateProcess(pid_t pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

bool StartProgram(const std::string& program) {
  // Two forks: the program's parent ends at once and is reaped here, so the
  // program itself is adopted and reaped by init.
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);  // it has no console of ours to write to
    }
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    ::execv(program.c_str(), argv);
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return ::access(program.c_str(), X_OK) == 0;
}

}  // namespace corvash::platform
