#pragma once
// The link to the boot loader as the protocol code sees it: a byte port that
// is opened exclusively by name, set up, read without waiting and written
// whole. The termios backend serves real ports and ptys; tests may put a
// double behind the same interface.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
};

}  // namespace corvash::platform
