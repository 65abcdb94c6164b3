#include "desktop/bootlink/link_waits.h"

#include <algorithm>
#include <chrono>

#include "desktop/session/update_session.h"
#include "common/clock.h"

namespace corvash::bootlink {
namespace {

constexpr uint32_t kCheckMs = 10;

bool LinkClosed() { return session::Session().linkClosed.load() == 1; }

// The slice between two looks at linkClosed: 10 system ms, stretched so that
// a tiny time scale does not turn the wait into a spin.
uint32_t SliceMs() {
  const double perRealMs = 1.0 / platform::TimeScale();
  return std::max(kCheckMs, static_cast<uint32_t>(std::min(perRealMs, 60000.0)));
}

uint32_t RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  const double realMs = std::chrono::duration<double, std::milli>(left).count();
  return static_cast<uint32_t>(std::min(realMs / platform::TimeScale() + 1.0, 4.0e9));
}

}  // namespace

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
    if (LinkClosed()) return false;
    const uint32_t left = RemainingMs(deadline);
    if (left == 0) return true;
    platform::SleepMs(std::min(left, SliceMs()));
  }
}

}  // namespace corvash::bootlink
