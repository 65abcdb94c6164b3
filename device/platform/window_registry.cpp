#include "device/platform/window_registry.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/handheld_folder.h"
#include "common/utf16_text.h"
#include "device/platform/processes.h"

namespace corvash::ce {
namespace {

namespace fs = std::filesystem;

// The record's file; nullopt without a state folder or for a class name
// that is no plain file name.
std::optional<fs::path> RecordPath(std::u16string_view className) {
  const auto folder = common::Folder::FromEnvironment();
  if (!folder || className.empty() || className.size() > 255) return std::nullopt;
  std::string name = common::FromUtf16(className);
  for (char& c : name) {
    if (c == '/' || c == '\0') return std::nullopt;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (name == "." || name == ".." || name.front() == '.') return std::nullopt;
  return folder->WindowsDir() / name;
}

struct Owner {
  DWORD pid = 0;
  uint64_t startTime = 0;
};

std::optional<Owner> ReadOwner(const fs::path& path) {
  std::ifstream file(path);
  Owner owner;
  if (!(file >> owner.pid >> owner.startTime)) return std::nullopt;
  return owner;
}

}  // namespace

bool RecordWindowOwner(std::u16string_view className) {
  const auto path = RecordPath(className);
  const auto startTime = ProcessStartTime(GetCurrentProcessId());
  if (!path || !startTime) return false;
  std::error_code code;
  fs::create_directories(path->parent_path(), code);
  // A new file renamed over the old one: a reader never sees half a record.
  const fs::path next = path->parent_path() / ("." + path->filename().string() + "." + std::to_string(::getpid()));
  {
    std::ofstream file(next, std::ios::trunc);
    if (!(file << GetCurrentProcessId() << " " << *startTime << "\n")) return false;
  }
  fs::rename(next, *path, code);
  if (code) fs::remove(next, code);
  return !code;
}

void ForgetWindowOwner(std::u16string_view className) {
  const auto path = RecordPath(className);
  if (!path) return;
  const auto owner = ReadOwner(*path);
  std::error_code code;
  if (owner && owner->pid == GetCurrentProcessId()) fs::remove(*path, code);
}

std::optional<DWORD> FindWindowOwner(std::u16string_view className) {
  const auto path = RecordPath(className);
  if (!path) return std::nullopt;
  const auto owner = ReadOwner(*path);
  if (!owner || ProcessStartTime(owner->pid) != owner->startTime) return std::nullopt;
  return owner->pid;
}

}  // namespace corvash::ce
