#include "emulator/toplevel_windows.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <fstream>

namespace corvash::emulator {
namespace {

bool Runs(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::filesystem::path TopLevelWindowsDir(const std::filesystem::path& prefix) { return prefix / "toplevel"; }

std::unique_ptr<TopLevelWindow> TopLevelWindow::Register(const std::filesystem::path& prefix,
                                                         const std::string& title, std::string* error) {
  const std::filesystem::path dir = TopLevelWindowsDir(prefix);
  const std::string name = std::to_string(::getpid()) + ".1";
  // Written under a name the window search skips, then renamed: the search
  // never reads half a title.
  const std::filesystem::path temporary = dir / ("." + name + ".new");
  std::error_code code;
  std::filesystem::create_directories(dir, code);
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << title << "\n";
    if (!out.flush()) code = std::make_error_code(std::errc::io_error);
  }
  if (!code) std::filesystem::rename(temporary, dir / name, code);
  if (code) {
    std::filesystem::remove(temporary, code);
    *error = "cannot register the window in " + dir.string();
    return nullptr;
  }
  return std::unique_ptr<TopLevelWindow>(new TopLevelWindow(dir / name));
}

TopLevelWindow::~TopLevelWindow() {
  std::error_code code;
  std::filesystem::remove(file_, code);
}

size_t RemoveStaleTopLevelWindows(const std::filesystem::path& prefix) {
  size_t removed = 0;
  std::error_code code;
  for (const auto& entry : std::filesystem::directory_iterator(TopLevelWindowsDir(prefix), code)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    const auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end == name.data() || *end != '.' || pid <= 0 || Runs(pid)) continue;
    std::error_code removeError;
    if (std::filesystem::remove(entry.path(), removeError)) ++removed;
  }
  return removed;
}

}  // namespace corvash::emulator
