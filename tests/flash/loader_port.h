#pragma once
// The desktop's port with a boot loader behind it, in memory: what the
// desktop writes goes to the emulated loader (or, without one, stays for the
// test to answer), and what the loader answers comes back to the receive
// thread. The cable can be pulled and writes can be made to fail, for the
// failure paths that a pty cannot reach on demand.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "desktop/platform/serial_port.h"
#include "emulator/loader_peer.h"
#include "emulator/peer_link.h"

namespace corvash::test {

class LoaderPort : public platform::SerialPort, private emulator::PeerLink {
 public:
  // `peer` null: a scripted far end that only records and lets the test Push.
  explicit LoaderPort(emulator::BootLoaderPeer* peer) : peer_(peer) {}

  bool Configure() override { return true; }
  long ReadAvailable(uint8_t* buffer, size_t capacity) override;
  bool WriteAll(const uint8_t* data, size_t length) override;
  bool Alive() override;
  void Close() override;
  bool WaitReadable(uint32_t ms) override;

  // Bytes from the loader side to the desktop.
  void Push(std::string_view bytes);
  // The cable is pulled: writes fail, reads report a lost link.
  void PullCable();
  // Every write from now on fails once `bytes` more bytes went out.
  void FailWritesAfter(size_t bytes);
  // Whether to keep the written bytes (big flashes leave it off).
  void KeepWritten(bool keep);

  std::string Written() const;
  size_t WrittenCount() const;
  // Waits (system ms, scaled) until `count` bytes in all were written.
  bool WaitWritten(size_t count, uint32_t ms) const;
  bool Closed() const;

 private:
  void Send(std::span<const uint8_t> bytes) override;  // mutex_ held (inside the peer)
  void Drop() override;                                // mutex_ held

  emulator::BootLoaderPeer* peer_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string inbound_;
  std::string written_;
  size_t writtenCount_ = 0;
  size_t failAfter_ = SIZE_MAX;
  bool keepWritten_ = true;
  bool dropped_ = false;
  bool closed_ = false;
};

}  // namespace corvash::test
