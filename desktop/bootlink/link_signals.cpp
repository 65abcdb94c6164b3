#include "desktop/bootlink/link_signals.h"

#include <algorithm>

#include "common/clock.h"

namespace corvash::bootlink {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLeastRealWait = std::chrono::milliseconds(1);

}  // namespace

uint64_t LinkSignals::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

void LinkSignals::Notify() {
  {
    std::lock_guard lock(mutex_);
    ++count_;
  }
  changed_.notify_all();
}

bool LinkSignals::Wait(uint64_t seen, uint32_t ms) {
  if (ms == common::kInfinite) return WaitUntil(seen, Clock::time_point::max());
  return WaitUntil(seen, Clock::now() + std::max<Clock::duration>(common::ScaledDuration(ms), kLeastRealWait));
}

bool LinkSignals::WaitUntil(uint64_t seen, Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  ++waiters_;
  const auto moved = [&] { return count_ != seen; };
  bool changed = true;
  if (deadline == Clock::time_point::max()) {
    changed_.wait(lock, moved);
  } else {
    changed = changed_.wait_until(lock, deadline, moved);
  }
  --waiters_;
  return changed;
}

uint32_t LinkSignals::WaiterCount() const {
  std::lock_guard lock(mutex_);
  return waiters_;
}

}  // namespace corvash::bootlink
