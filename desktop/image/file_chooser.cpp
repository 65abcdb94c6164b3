#include "desktop/image/file_chooser.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "desktop/handheld/windows_family.h"

namespace corvash::image {

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return ".";
}

}  // namespace

std::vector<FileFilter> ImageFileFilters() {
  return {{"ROM image (*.nbf)", "*.nbf"}, {"All files (*.*)", "*.*"}};
}

std::string ChooserInitialFolderFor(uint32_t windowsFamily) {
  const std::string text = windowsFamily != 0 ? "%USERPROFILE%\\Eigene Dateien" : "c:\\Eigene Dateien";
  std::error_code ec;
  if (std::filesystem::is_directory(text, ec)) return text;
  return HomeFolder();
}

std::string ChooserInitialFolder() { return ChooserInitialFolderFor(handheld::QueryWindowsFamily()); }

}  // namespace corvash::image
