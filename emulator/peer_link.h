#pragma once
// What the emulated boot loader talks into: the far end of its serial line.
// The pty adapter puts the bytes on a pty; the in-memory adapter keeps them
// for tests.
#include <cstdint>
#include <span>

namespace corvash::emulator {

class PeerLink {
 public:
  virtual ~PeerLink() = default;
  // Puts `bytes` on the line, in order.
  virtual void Send(std::span<const uint8_t> bytes) = 0;
  // Pulls the cable: the link goes away after what was sent so far.
  virtual void Drop() = 0;
};

}  // namespace corvash::emulator
