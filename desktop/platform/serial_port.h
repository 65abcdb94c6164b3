#pragma once
// The link to the boot loader as the protocol code sees it: a byte port that
// is opened exclusively by name, set up, read without waiting and written
// whole. The termios backend serves real ports and ptys; tests may put a
// double behind the same interface.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "common/clock.h"

namespace corvash::platform {

class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Applies the boot-loader line settings (115200 8N1, raw, no flow control)
  // and raises DTR then RTS. Returns false when the port refuses them.
  virtual bool Configure() = 0;
  // Copies what has arrived, up to `capacity` bytes, without waiting.
  // Returns the count (0: nothing yet), or -1 when the link is lost.
  virtual long ReadAvailable(uint8_t* buffer, size_t capacity) = 0;
  // Writes all bytes; false when the write fails.
  virtual bool WriteAll(const uint8_t* data, size_t length) = 0;
  // Whether the device behind the port is still there (USB liveness probe).
  virtual bool Alive() = 0;
  virtual void Close() = 0;
  // Waits up to `ms` system milliseconds until a read would find bytes, the
  // link fails or the port is closed. True when it is worth reading now.
  // The default only lets a little time pass.
  virtual bool WaitReadable(uint32_t ms) {
    common::SleepMs(ms < 1 ? ms : 1);
    return true;
  }
};

// The outcome of opening a port; the OS error is the one of the failed step,
// captured at the moment it failed.
struct PortOpenResult {
  std::shared_ptr<SerialPort> port;  // null when the open failed
  int error = 0;                     // errno of the failure, 0 on success
  bool accessDenied = false;         // the port is held by another program or not permitted
};

// Opens the device node at `path` for reading and writing, exclusively (no
// other open of it succeeds while this port is open), without making it a
// controlling terminal. The line is not set up yet (see Configure). Any
// thread may call it.
PortOpenResult OpenSerialPort(const std::filesystem::path& path);

}  // namespace corvash::platform
