#include "desktop/platform/prefix.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace corvash::platform {

using common::Hive;

std::filesystem::path PrefixDir() {
  if (const char* prefix = std::getenv("CORVASH_PREFIX"); prefix != nullptr && *prefix != '\0') {
    return prefix;
  }
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr && *home != '\0' ? home : ".") / ".corvash";
}

std::filesystem::path UserHivePath() { return PrefixDir() / "user.reg"; }
std::filesystem::path SystemHivePath() { return PrefixDir() / "system.reg"; }
std::filesystem::path WindowsDir() { return PrefixDir() / "windows"; }
std::filesystem::path RapiSocketPath() { return PrefixDir() / "rapi.sock"; }
std::filesystem::path InstanceLockPath() { return PrefixDir() / "SETUP.lock"; }

std::filesystem::path DosDevicePath(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const char* fallback = nullptr;
  if (lower == "com1") fallback = "/dev/ttyS0";
  else if (lower == "com2") fallback = "/dev/ttyS1";
  else if (lower == "wceusbsh001") fallback = "/dev/ttyUSB0";
  else if (lower == "wceusbsh002") fallback = "/dev/ttyUSB1";
  if (fallback == nullptr) return {};
  const auto link = PrefixDir() / "dosdevices" / lower;
  std::error_code ec;
  if (std::filesystem::is_symlink(link, ec) || std::filesystem::exists(link, ec)) return link;
  return fallback;
}

Hive LoadUserHive() { return Hive::Load(UserHivePath(), "HKEY_CURRENT_USER"); }
Hive LoadSystemHive() { return Hive::Load(SystemHivePath(), "HKEY_LOCAL_MACHINE"); }
bool SaveUserHive(const Hive& hive) { return hive.Save(UserHivePath()); }

}  // namespace corvash::platform
