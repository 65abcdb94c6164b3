#include "emulator/served_prefix.h"

#include <cstdlib>
#include <fstream>

#include "emulator/handheld_state.h"

namespace corvash::emulator {

std::filesystem::path PrefixFromEnvironment() {
  if (const char* prefix = std::getenv("CORVASH_PREFIX"); prefix != nullptr && *prefix != '\0') return prefix;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home != nullptr && *home != '\0' ? home : ".") / ".corvash";
}

std::filesystem::path ServedHandheldPath(const std::filesystem::path& prefix) { return prefix / "k5210-state"; }

bool WriteServedHandheld(const std::filesystem::path& prefix, const ServedHandheld& served, std::string* error) {
  std::error_code code;
  const std::filesystem::path state = std::filesystem::absolute(served.state, code);
  if (code || !ReplaceFile(ServedHandheldPath(prefix), "state=" + state.string() + "\nport=" + served.port + "\n")) {
    *error = "cannot write " + ServedHandheldPath(prefix).string();
    return false;
  }
  return true;
}

std::optional<ServedHandheld> ReadServedHandheld(const std::filesystem::path& prefix) {
  std::ifstream in(ServedHandheldPath(prefix));
  ServedHandheld served;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("state=", 0) == 0) served.state = line.substr(6);
    if (line.rfind("port=", 0) == 0) served.port = line.substr(5);
  }
  if (served.state.empty() || served.port.empty()) return std::nullopt;
  return served;
}

void RemoveServedHandheld(const std::filesystem::path& prefix, const std::filesystem::path& state) {
  const auto served = ReadServedHandheld(prefix);
  std::error_code code;
  if (served && std::filesystem::equivalent(served->state, state, code)) {
    std::filesystem::remove(ServedHandheldPath(prefix), code);
  }
}

}  // namespace corvash::emulator
