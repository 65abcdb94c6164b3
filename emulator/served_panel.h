#pragma once
// The panel of a handheld that this process serves: snapshots and actions
// go straight to its EmulatedHandheld. Thread-safe as the handheld is.
#include <atomic>
#include <string>
#include <string_view>

#include "emulator/emulated_handheld.h"
#include "emulator/handheld_snapshot.h"

namespace corvash::emulator {

class ServedPanel final : public HandheldPanel {
 public:
  ServedPanel(EmulatedHandheld& handheld, std::string name) : handheld_(handheld), name_(std::move(name)) {}

  HandheldSnapshot Snapshot() const override { return handheld_.Snapshot(); }
  bool Act(std::string_view action, std::string* error) override { return handheld_.Control(action, error); }
  bool Ended() const override { return ended_.load(); }
  std::string Name() const override { return name_; }

  // The service has ended; the window closes.
  void MarkEnded() { ended_.store(true); }

 private:
  EmulatedHandheld& handheld_;
  const std::string name_;
  std::atomic<bool> ended_{false};
};

}  // namespace corvash::emulator
