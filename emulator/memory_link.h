#pragma once
// The in-memory end of the loader's line, for tests: keeps what the loader
// sent and whether it pulled the cable. Not thread-safe; one test thread.
#include <string>
#include <utility>

#include "emulator/peer_link.h"

namespace corvash::emulator {

class MemoryLink : public PeerLink {
 public:
  void Send(std::span<const uint8_t> bytes) override {
    sent_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  void Drop() override { dropped_ = true; }

  // Everything sent since the last Take(), and forgets it.
  std::string Take() { return std::exchange(sent_, std::string()); }
  const std::string& Sent() const { return sent_; }
  bool Dropped() const { return dropped_; }

 private:
  std::string sent_;
  bool dropped_ = false;
};

}  // namespace corvash::emulator
