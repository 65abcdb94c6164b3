#pragma once
// The handheld's end of its serial line on a pseudo-terminal. The slave side
// is what the desktop opens: it is linked as PREFIX/dosdevices/<port>, set to
// raw mode, and held open by the endpoint so that the desktop can open and
// close it at will without the master seeing a hang-up. Closing the endpoint
// closes the master (the desktop's reads then fail, as on a pulled USB cable)
// and removes the link.
//
// One thread reads (Read), the loader's owner writes (Send); Interrupt() and
// DropRequested() may be called from any thread.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "emulator/line_pacer.h"
#include "emulator/peer_link.h"

namespace corvash::emulator {

// The four port names a handheld can appear as, lower case.
bool ValidPortName(std::string_view port);

class PtyEndpoint : public PeerLink {
 public:
  // Makes the pty and its link. `baud` 0 leaves the line unthrottled.
  // Null with `error` when the pty or the link cannot be made.
  static std::unique_ptr<PtyEndpoint> Open(const std::filesystem::path& prefix, std::string_view port,
                                           uint32_t baud, std::string* error);
  ~PtyEndpoint() override;

  const std::filesystem::path& SlavePath() const { return slavePath_; }
  const std::filesystem::path& LinkPath() const { return linkPath_; }

  // Waits for what the desktop wrote and copies up to `capacity` bytes
  // (less on a throttled line), paced to the line speed. Returns the count,
  // 0 once interrupted or closed, -1 when the pty failed.
  long Read(uint8_t* buffer, size_t capacity);
  // Writes all of `bytes`, paced; gives up once interrupted or closed.
  void Send(std::span<const uint8_t> bytes) override;
  // The loader pulls the cable: the reader sees DropRequested() and closes.
  void Drop() override { dropRequested_ = true; }
  bool DropRequested() const { return dropRequested_; }
  // Wakes a waiting Read or Send for good; the endpoint is about to close.
  void Interrupt();

  // Another program takes the port: the slave is opened once more, locked
  // with an exclusive advisory lock and marked exclusive (TIOCEXCL), so that
  // the desktop's exclusive open fails. False with `error` when the port is
  // open and locked already.
  bool HoldBusy(std::string* error);
  void ReleaseBusy();
  // Another holder of the port ended without taking its exclusive mark
  // back (killed): the mark is cleared, unless the port is held busy here.
  void ForgetExclusiveMark();

  // Releases the port, closes the pty and removes the link (when it still
  // points at this pty). Idempotent; call after the reader has stopped, or
  // from the reader itself.
  void Close();

 private:
  PtyEndpoint() = default;
  bool WaitFor(int fd, short events);

  int master_ = -1;
  int slaveHold_ = -1;
  int busy_ = -1;
  int wake_[2] = {-1, -1};
  std::filesystem::path slavePath_;
  std::filesystem::path linkPath_;
  bool linked_ = false;
  std::atomic<bool> interrupted_{false};
  std::atomic<bool> dropRequested_{false};
  std::mutex closeMutex_;
  LinePacer inPacer_{0};
  LinePacer outPacer_{0};
};

}  // namespace corvash::emulator
