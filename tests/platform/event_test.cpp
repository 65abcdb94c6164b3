#include "common/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace corvash::common {
namespace {

// Starts `count` threads that each wait once on `event` with `timeoutMs`,
// and returns how many passed.
int WaitersPassing(Event& event, int count, uint32_t timeoutMs, void (*act)(Event&)) {
  std::atomic<int> passed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&] {
      if (event.Wait(timeoutMs)) ++passed;
    });
  }
  const auto limit = DeadlineAfter(100000);
  while (event.WaiterCount() < static_cast<uint32_t>(count) && std::chrono::steady_clock::now() < limit) {
    std::this_thread::yield();
  }
  act(event);
  for (auto& t : threads) t.join();
  return passed.load();
}

TEST(EventTest, AutoResetPassesExactlyOneWaiterPerSet) {
  Event event(false, false);
  EXPECT_EQ(1, WaitersPassing(event, 3, 5000, [](Event& e) { e.Set(); }));
  EXPECT_FALSE(event.IsSignalled());
}

TEST(EventTest, AutoResetStaysSignalledUntilAWaiterComes) {
  Event event(false, false);
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, PulseOnAutoResetReleasesOneAndLeavesNothingSignalled) {
  Event event(false, false);
  EXPECT_EQ(1, WaitersPassing(event, 3, 5000, [](Event& e) { e.Pulse(); }));
  EXPECT_FALSE(event.IsSignalled());
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, PulseOnManualResetReleasesAllPresentWaiters) {
  Event event(true, false);
  EXPECT_EQ(3, WaitersPassing(event, 3, 5000, [](Event& e) { e.Pulse(); }));
  EXPECT_FALSE(event.IsSignalled());
}

TEST(EventTest, PulseWithoutWaitersIsLost) {
  Event event(false, false);
  event.Pulse();
  EXPECT_FALSE(event.Wait(10));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
  Event event(true, true);
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, TimedWaitEndsAfterItsLimit) {
  Event event(false, false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(event.Wait(3000));
  EXPECT_GE(std::chrono::steady_clock::now() - start, ScaledDuration(3000));
}

TEST(NamedEventTest, SameNameGivesTheSameEvent) {
  ClearNamedEvents();
  auto first = CreateNamedEvent("PortTestEvent", false, false);
  auto second = CreateNamedEvent("PortTestEvent", true, true);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_FALSE(second->IsSignalled());
  EXPECT_EQ(first.get(), OpenNamedEvent("PortTestEvent").get());
  EXPECT_EQ(nullptr, OpenNamedEvent("NoSuchEvent"));
}

}  // namespace
}  // namespace corvash::common
