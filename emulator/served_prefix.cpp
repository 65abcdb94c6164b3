#include "emulator/served_prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/local_socket.h"
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

namespace {

std::filesystem::path ClaimPath(const std::filesystem::path& prefix) { return prefix / "k5210-state.lock"; }

// Says who serves `prefix` when a live handheld does, else empty: a held
// claim, or a rapi.sock that someone answers.
std::string LiveServer(const std::filesystem::path& prefix, bool claimHeld) {
  if (!claimHeld && !common::LocalSocketServed(prefix / "rapi.sock")) return {};
  const auto served = ReadServedHandheld(prefix);
  return prefix.string() + " is served by " +
         (served ? "the handheld in " + served->state.string() : std::string("another handheld")) + " already";
}

}  // namespace

std::unique_ptr<PrefixClaim> PrefixClaim::Take(const std::filesystem::path& prefix, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(prefix, code);
  const int fd = ::open(ClaimPath(prefix).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = "cannot claim " + prefix.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  const std::string live = LiveServer(prefix, held);
  if (held || !live.empty()) {
    *error = live.empty() ? "cannot claim " + prefix.string() : live;
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<PrefixClaim>(new PrefixClaim(fd));
}

PrefixClaim::~PrefixClaim() { ::close(fd_); }  // closing drops the lock

std::string PrefixServedBy(const std::filesystem::path& prefix) {
  const int fd = ::open(ClaimPath(prefix).c_str(), O_RDWR | O_CLOEXEC);
  bool held = false;
  if (fd >= 0) {
    held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
  }
  return LiveServer(prefix, held);
}

}  // namespace corvash::emulator
