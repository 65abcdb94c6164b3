#pragma once
// The termios backend of SerialPort: real serial ports, USB serial devices
// and ptys.
//
// Exclusive open: the port takes an advisory lock (flock, LOCK_EX) and then
// sets TIOCEXCL. A port whose lock another open file holds, or whose
// TIOCEXCL refuses the open (EBUSY), counts as access denied; so does a
// node we may not open (EACCES, EPERM). TIOCEXCL does not stop a privileged
// process, the lock stops everyone who takes it.
//
// Errors: ENOTTY or EINVAL from a modem-control call (a pty has no modem
// lines) are not faults; EIO, ENXIO and ENODEV are a lost link (a vanished
// device, or the far end of a pty closed), and so is end of file on a read.
//
// Threads: ReadAvailable and WaitReadable may run on one thread while
// WriteAll runs on another; Close may come from any thread and wakes both.
// The descriptor itself is closed when the last owner lets the port go, so
// that no thread ever uses a descriptor number that was given out again.
#include <atomic>
#include <filesystem>

#include "desktop/platform/serial_port.h"

namespace corvash::platform {

// Whether `error` (an errno) means that the device behind a port is gone.
bool IsLinkLossError(int error);

class PosixSerialPort final : public SerialPort {
 public:
  // Opens `path` as OpenSerialPort says.
  static PortOpenResult Open(const std::filesystem::path& path);
  ~PosixSerialPort() override;

  // 115200 baud, 8 data bits, no parity, one stop bit, raw input and output
  // (no CR/LF translation either way, no echo, no signals), no hardware or
  // software flow control, modem status lines ignored; then DTR and RTS.
  bool Configure() override;
  long ReadAvailable(uint8_t* buffer, size_t capacity) override;
  bool WriteAll(const uint8_t* data, size_t length) override;
  bool Alive() override;
  void Close() override;
  bool WaitReadable(uint32_t ms) override;

  // errno of the last failed call (0: none yet).
  int LastError() const { return lastError_.load(); }
  int Descriptor() const { return fd_; }

 private:
  PosixSerialPort(int fd, int wakeRead, int wakeWrite);
  // Raises the modem lines in `bits`; true unless the link is lost.
  bool RaiseModemLines(int bits);
  // Waits for `events` on the port or a wake-up from Close; -1: no limit.
  short WaitFor(short events, long long timeoutNs);
  void Fail(int error) { lastError_.store(error); }

  const int fd_;
  const int wakeRead_;
  const int wakeWrite_;
  std::atomic<bool> closed_{false};
  std::atomic<int> lastError_{0};
};

}  // namespace corvash::platform
