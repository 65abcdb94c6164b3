#pragma once
// Top-level windows of the desktop's processes, as the desktop's window
// search lists them: one file PREFIX/toplevel/<pid>.<n> holding the window's
// title. The sync software's stand-ins register theirs here.
#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>

namespace corvash::emulator {

std::filesystem::path TopLevelWindowsDir(const std::filesystem::path& prefix);

// This process's window <pid>.1 with `title`, removed again when the object
// goes (a killed process leaves its file behind).
class TopLevelWindow {
 public:
  // Null with `error` when the file cannot be written.
  static std::unique_ptr<TopLevelWindow> Register(const std::filesystem::path& prefix, const std::string& title,
                                                  std::string* error);
  ~TopLevelWindow();
  TopLevelWindow(const TopLevelWindow&) = delete;
  TopLevelWindow& operator=(const TopLevelWindow&) = delete;

 private:
  explicit TopLevelWindow(std::filesystem::path file) : file_(std::move(file)) {}
  std::filesystem::path file_;
};

// Removes the files of processes that no longer run. Returns how many.
size_t RemoveStaleTopLevelWindows(const std::filesystem::path& prefix);

}  // namespace corvash::emulator
