#include "common/handheld_folder.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>

namespace corvash::common {

std::optional<Folder> Folder::FromEnvironment() {
  const char* dir = std::getenv(kStateVariable);
  if (dir == nullptr || *dir == '\0') return std::nullopt;
  return Folder(dir);
}

std::optional<std::string> Folder::ConfigValue(std::string_view key) const {
  std::ifstream file(ConfigPath());
  std::string line;
  while (std::getline(file, line)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos && std::string_view(line).substr(0, equals) == key) {
      return line.substr(equals + 1);
    }
  }
  return std::nullopt;
}

int64_t Folder::ClockNow() const {
  int64_t offset = 0;
  std::ifstream file(ClockPath());
  if (!(file >> offset)) offset = 0;
  return static_cast<int64_t>(std::time(nullptr)) + offset;
}

bool Folder::SetClock(int64_t utcSeconds) const {
  const int64_t offset = utcSeconds - static_cast<int64_t>(std::time(nullptr));
  const std::filesystem::path next = ClockPath().string() + ".new." + std::to_string(::getpid());
  {
    std::ofstream file(next, std::ios::trunc);
    if (!(file << offset << "\n")) return false;
  }
  std::error_code error;
  std::filesystem::rename(next, ClockPath(), error);
  if (error) std::filesystem::remove(next, error);
  return !error;
}

}  // namespace corvash::common
