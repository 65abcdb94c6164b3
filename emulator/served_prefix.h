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
#include <memory>
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

// The claim of the k5210-emu that serves a prefix: an advisory lock on
// PREFIX/k5210-state.lock, held while it serves and dropped by the system
// when it dies. A prefix served by a live handheld (its claim held, or its
// rapi.sock answered) is not taken; a stale one (its server dead, nobody
// listening) is.
class PrefixClaim {
 public:
  // Null with `error` when a live handheld serves `prefix`.
  static std::unique_ptr<PrefixClaim> Take(const std::filesystem::path& prefix, std::string* error);
  ~PrefixClaim();
  PrefixClaim(const PrefixClaim&) = delete;
  PrefixClaim& operator=(const PrefixClaim&) = delete;

 private:
  explicit PrefixClaim(int fd) : fd_(fd) {}
  int fd_;
};

// Why `prefix` cannot be served now (a live handheld serves it); empty when
// it can. Takes nothing.
std::string PrefixServedBy(const std::filesystem::path& prefix);

}  // namespace corvash::emulator
