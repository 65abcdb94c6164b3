#include "emulator/sync_registry.h"

#include <fstream>

#include "common/hive.h"

namespace corvash::emulator {
namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";
constexpr const char* kServicesKey = "SOFTWARE\\Microsoft\\Windows CE Services";
constexpr const char* kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESCOMM.EXE";
constexpr uint32_t kMajorVersion = 3;
constexpr uint32_t kMinorVersion = 5;

// An existing file must start with the REGEDIT4 line (a byte order mark or a
// CR aside); the reader takes anything else for an empty hive, and writing
// that back would lose the file.
bool IsHiveOrAbsent(const std::filesystem::path& path) {
  std::error_code code;
  if (!std::filesystem::exists(path, code) || std::filesystem::file_size(path, code) == 0) return true;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  std::getline(in, line);
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line == "REGEDIT4";
}

}  // namespace

bool AddSyncSoftwareEntries(const std::filesystem::path& systemHive, const std::filesystem::path& commProgram,
                            std::string* error) {
  if (!IsHiveOrAbsent(systemHive)) {
    *error = systemHive.string() + " is no REGEDIT4 hive; left as it is";
    return false;
  }
  common::Hive hive = common::Hive::Load(systemHive, kRoot);
  bool changed = false;
  const auto addMissing = [&](const char* key, common::HiveValue value) {
    if (hive.GetValue(key, value.name)) return;
    hive.SetValue(key, std::move(value));
    changed = true;
  };
  addMissing(kServicesKey, common::HiveValue::Dword("MajorVersion", kMajorVersion));
  addMissing(kServicesKey, common::HiveValue::Dword("MinorVersion", kMinorVersion));
  std::string program = std::filesystem::absolute(commProgram).string();
  program.push_back('\0');  // a string value keeps its terminator
  addMissing(kAppPathsKey, common::HiveValue::StringBytes("", program));
  if (changed && !hive.Save(systemHive)) {
    *error = "cannot write " + systemHive.string();
    return false;
  }
  return true;
}

}  // namespace corvash::emulator
