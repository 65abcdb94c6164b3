#include "emulator/line_pacer.h"

#include "common/clock.h"

namespace corvash::emulator {

void LinePacer::Pace(size_t count) {
  if (bytesPerSecond_ == 0 || count == 0) return;
  const uint64_t now = common::TickMs();
  const auto due = [this] { return startMs_ + bytes_ * 1000 / bytesPerSecond_; };
  if (!started_ || now > due()) {
    // Idle line: start counting afresh.
    started_ = true;
    startMs_ = now;
    bytes_ = 0;
  }
  bytes_ += count;
  const uint64_t until = due();
  if (until > now) common::SleepMs(static_cast<uint32_t>(until - now));
}

}  // namespace corvash::emulator
