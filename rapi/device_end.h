#pragma once
// The device end of the remote API: what the handheld answers to each
// request of the wire, against its file store (a host folder), its state
// folder and a few callbacks of the emulator that hosts it. It knows nothing
// of the emulator itself.
//
// Files follow the store's sharing convention (common/store_file.h), so the
// rules hold between connections and against the device programs. A library
// named without a folder ("Zembra.dll") is looked up in \Windows.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "common/store_file.h"
#include "rapi/remote_api.h"
#include "rapi/remote_wire.h"

namespace corvash::rapi {

struct DeviceEndConfig {
  std::filesystem::path storeRoot;  // the file store (STATE/files)
  std::filesystem::path stateDir;   // named to device programs and libraries
  // The power status the handheld reports now. Unset: mains.
  std::function<CePowerStatus()> powerStatus;
  // How long a library call may take before its helper is killed.
  uint32_t invokeLimitMs = 120000;
};

// The state of one connection: its open files and the last error. Closing
// the session (its destructor) closes every file it left open. One thread
// at a time.
class DeviceSession {
 public:
  explicit DeviceSession(const DeviceEndConfig& config) : config_(config) {}

  wire::Answer Handle(const wire::Request& request);
  // The answer to a request that could not be read.
  static wire::Answer Refusal();

 private:
  wire::Answer Invoke(const wire::Request& request);
  wire::Answer CreateFile(const wire::Request& request);
  wire::Answer ReadFile(const wire::Request& request);
  wire::Answer WriteFile(const wire::Request& request);
  wire::Answer CloseHandle(const wire::Request& request);
  wire::Answer DeleteFile(const wire::Request& request);
  wire::Answer MoveFile(const wire::Request& request);
  wire::Answer CreateProcess(const wire::Request& request);
  wire::Answer PowerStatus();
  // Sets the session's last error from the answer's.
  wire::Answer Done(wire::Answer answer);

  const DeviceEndConfig& config_;
  std::map<uint32_t, std::unique_ptr<common::StoreFile>> files_;
  uint32_t nextHandle_ = 0x100;
  uint32_t lastError_ = 0;
};

}  // namespace corvash::rapi
