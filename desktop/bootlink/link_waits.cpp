#include "desktop/bootlink/link_waits.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "desktop/session/update_session.h"
#include "common/clock.h"

namespace corvash::bootlink {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at linkClosed when nobody announces its change.
constexpr uint32_t kCheckMs = 10;
// How often the wait for an open port looks at linkHandle.
constexpr uint32_t kPortCheckMs = 1;
constexpr auto kLeastRealWait = std::chrono::milliseconds(1);

struct ChangeCount {
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t count = 0;
  uint32_t waiters = 0;
};

ChangeCount& Changes() {
  static ChangeCount* changes = new ChangeCount();  // outlives static destruction
  return *changes;
}

bool LinkClosed() { return session::Session().linkClosed.load() == 1; }

// Real length of a period: `ms` scaled, but never under a real millisecond.
Clock::duration Period(uint32_t ms) {
  return std::max<Clock::duration>(platform::ScaledDuration(ms), kLeastRealWait);
}

bool WaitChangeUntil(uint64_t seen, Clock::time_point deadline) {
  ChangeCount& changes = Changes();
  std::unique_lock lock(changes.mutex);
  ++changes.waiters;
  const auto moved = [&] { return changes.count != seen; };
  bool changed = true;
  if (deadline == Clock::time_point::max()) {
    changes.changed.wait(lock, moved);
  } else {
    changed = changes.changed.wait_until(lock, deadline, moved);
  }
  --changes.waiters;
  return changed;
}

uint32_t RemainingMs(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const double realMs = std::chrono::duration<double, std::milli>(left).count();
  return static_cast<uint32_t>(std::min(realMs / platform::TimeScale() + 1.0, 4.0e9));
}

// The slice of an event wait between two looks at linkClosed, in system ms.
uint32_t SliceMs() {
  const double perRealMs = 1.0 / platform::TimeScale();
  return std::max(kCheckMs, static_cast<uint32_t>(std::min(perRealMs, 60000.0)));
}

}  // namespace

uint64_t LinkChangeCount() {
  ChangeCount& changes = Changes();
  std::lock_guard lock(changes.mutex);
  return changes.count;
}

void NotifyLinkChange() {
  ChangeCount& changes = Changes();
  {
    std::lock_guard lock(changes.mutex);
    ++changes.count;
  }
  changes.changed.notify_all();
}

bool WaitLinkChange(uint64_t seen, uint32_t ms) {
  if (ms == platform::kInfinite) return WaitChangeUntil(seen, Clock::time_point::max());
  return WaitChangeUntil(seen, Clock::now() + Period(ms));
}

uint32_t LinkWaiterCount() {
  ChangeCount& changes = Changes();
  std::lock_guard lock(changes.mutex);
  return changes.waiters;
}

void DeclareLinkClosed() {
  session::Session().linkClosed.store(1);
  NotifyLinkChange();
}

bool MoveFlashState(uint32_t from, uint32_t to) {
  if (!session::Session().flow.flashState.compare_exchange_strong(from, to)) return false;
  NotifyLinkChange();
  return true;
}

void PublishLinkHandle(std::shared_ptr<platform::SerialPort> port) {
  session::Session().linkHandle.store(std::move(port));
  NotifyLinkChange();
}

LinkWait WaitEventWhileLinkOpen(platform::Event& event, uint32_t ms) {
  const auto deadline = platform::DeadlineAfter(ms);
  for (;;) {
    if (LinkClosed()) return LinkWait::kLinkClosed;
    const uint32_t left = RemainingMs(deadline);
    if (left == 0) return LinkWait::kTimedOut;
    if (event.Wait(std::min(left, SliceMs()))) return LinkWait::kSignalled;
  }
}

bool PauseWhileLinkOpen(uint32_t ms) {
  const auto deadline = platform::DeadlineAfter(ms);
  for (;;) {
    const uint64_t seen = LinkChangeCount();
    if (LinkClosed()) return false;
    const auto now = Clock::now();
    if (now >= deadline) return true;
    WaitChangeUntil(seen, std::min(deadline, now + Period(kCheckMs)));
  }
}

bool WaitForOpenPort() {
  for (;;) {
    const uint64_t seen = LinkChangeCount();
    if (session::Session().linkHandle.load() != nullptr) return true;
    if (LinkClosed()) return false;
    WaitLinkChange(seen, kPortCheckMs);
  }
}

}  // namespace corvash::bootlink
