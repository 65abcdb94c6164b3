// The link waits: a change announced before a wait is not missed, every
// blocked waiter wakes on it at once, and a change nobody announces is
// still seen within the wait's period. Periods are stretched by the time
// scale so that "at once" and "after a period" lie far apart.
#include "desktop/bootlink/loader_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "common/clock.h"
#include "desktop/session/update_session.h"
#include "desktop/platform/serial_port.h"
#include "tests/bootlink/link_fixture.h"
#include "tests/bootlink/pty_peer.h"

namespace corvash::bootlink {
namespace {

using Clock = std::chrono::steady_clock;

// A limit no correct wait comes near: 600 s of system time.
constexpr uint32_t kNeverMs = 600000;

// Time scale for one test; the environment's scale comes back at the end.
class ScaleFor {
 public:
  explicit ScaleFor(double scale) { common::SetTimeScale(scale); }
  ~ScaleFor() { common::SetTimeScale(0); }
};

// Waits (bounded, real time) until `count` threads block in a link wait.
bool WaitersBlocked(bootlink::LoaderLink& link_, uint32_t count) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (link_.Signals().WaiterCount() < count) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class LinkWaitsTest : public test::LinkTest {};

TEST_F(LinkWaitsTest, ChangeAnnouncedBeforeTheWaitIsNotMissed) {
  const uint64_t seen = link_.Signals().Count();
  link_.Signals().Notify();  // between the waiter's look and its wait
  const auto start = Clock::now();
  EXPECT_TRUE(link_.Signals().Wait(seen, kNeverMs));
  EXPECT_LT(SecondsSince(start), 1.0);
  // A wait that takes the count afresh does not pass on that old change.
  EXPECT_FALSE(link_.Signals().Wait(link_.Signals().Count(), 10));
}

TEST_F(LinkWaitsTest, EveryBlockedWaiterWakesOnOneChange) {
  const uint64_t seen = link_.Signals().Count();
  auto first = std::async(std::launch::async, [this, seen] { return link_.Signals().Wait(seen, kNeverMs); });
  auto second = std::async(std::launch::async, [this, seen] { return link_.Signals().Wait(seen, kNeverMs); });
  ASSERT_TRUE(WaitersBlocked(link_, 2));
  link_.Signals().Notify();
  ASSERT_EQ(first.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_EQ(second.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(first.get());
  EXPECT_TRUE(second.get());
}

TEST_F(LinkWaitsTest, PortPublishedWhileWaitingEndsTheWaitAtOnce) {
  test::PtyPeer peer(test::PtyPeer::Mode::kSilent);
  auto opened = platform::OpenSerialPort(peer.SlavePath());
  ASSERT_TRUE(opened.port);
  bool gotPort = false;
  double took = 0;
  {
    ScaleFor scale(1000);  // the wait looks every 1 ms: 1 s here
    std::thread waiter([&] { gotPort = link_.WaitForPort(); });
    EXPECT_TRUE(WaitersBlocked(link_, 1));
    const auto start = Clock::now();
    link_.PublishPort(opened.port);
    waiter.join();
    took = SecondsSince(start);
  }
  EXPECT_TRUE(gotPort);
  EXPECT_LT(took, 0.5);
}

TEST_F(LinkWaitsTest, DeclaredDeadLinkEndsPauseAndPortWaitAtOnce) {
  bool paused = true;
  bool gotPort = true;
  double took = 0;
  {
    ScaleFor scale(100);  // the pause looks every 10 ms: 1 s here
    std::thread pause([&] { paused = link_.Pause(kNeverMs); });
    std::thread port([&] { gotPort = link_.WaitForPort(); });
    EXPECT_TRUE(WaitersBlocked(link_, 2));
    const auto start = Clock::now();
    link_.DeclareClosed();
    pause.join();
    port.join();
    took = SecondsSince(start);
  }
  EXPECT_FALSE(paused);
  EXPECT_FALSE(gotPort);
  EXPECT_LT(took, 0.5);
}

// Others (a page, say) may set linkClosed without announcing it; the waits
// still see it within their period.
TEST_F(LinkWaitsTest, UnannouncedDeadLinkIsSeenWithinThePeriod) {
  std::thread pause([this] { EXPECT_FALSE(link_.Pause(kNeverMs)); });
  std::thread port([this] { EXPECT_FALSE(link_.WaitForPort()); });
  ASSERT_TRUE(WaitersBlocked(link_, 2));
  link_.linkClosed.store(1);
  pause.join();
  port.join();
}

TEST_F(LinkWaitsTest, PauseRunsItsLengthWhileTheLinkLives) {
  const auto start = Clock::now();
  EXPECT_TRUE(link_.Pause(3000));
  EXPECT_GE(Clock::now() - start, common::ScaledDuration(3000));
}

}  // namespace
}  // namespace corvash::bootlink
