#pragma once
// The handheld served in a prefix, as the sync software's stand-ins find it
// when they are started without arguments (by the desktop, through the App
// Paths value): `run` writes PREFIX/k5210-state while it serves,
//
//   state=/absolute/path/of/STATE
//   port=wceusbsh001
//
// and removes it when it stops. The prefix is the desktop's: CORVASH_PREFIX,
// else ~/.corvash.
#include <filesystem>
#include <optional>
#include <string>

namespace corvash::emulator {

struct ServedHandheld {
  std::filesystem::path state;
  std::string port;
};

std::filesystem::path PrefixFromEnvironment();
std::filesystem::path ServedHandheldPath(const std::filesystem::path& prefix);

// A new file renamed over the old one. False with `error` when it cannot be written.
bool WriteServedHandheld(const std::filesystem::path& prefix, const ServedHandheld& served, std::string* error);
// nullopt when the file is missing or lacks either line.
std::optional<ServedHandheld> ReadServedHandheld(const std::filesystem::path& prefix);
// Removes the file when it still names `state` (another handheld may have
// taken the prefix since).
void RemoveServedHandheld(const std::filesystem::path& prefix, const std::filesystem::path& state);

}  // namespace corvash::emulator
