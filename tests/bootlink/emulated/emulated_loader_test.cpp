// TestPorts and the session commands against the emulated handheld's boot
// loader (k5210-emu served in-process on a real pty).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/port_test.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"
#include "common/clock.h"
#include "emulator/emulated_handheld.h"
#include "emulator/fault_plan.h"
#include "emulator/handheld_state.h"
#include "tests/bootlink/link_fixture.h"
#include "tests/bootlink/pty_peer.h"

namespace corvash::bootlink {
namespace {

using test::PtyPeer;

class EmulatedLoaderTest : public test::LinkTest {
 protected:
  void TearDown() override {
    link_.Close();
    if (handheld_) handheld_->Stop();
    handheld_.reset();
    LinkTest::TearDown();
  }
  // Serves a handheld in its boot loader behind candidate `port`.
  void ServeLoader(const std::string& port) {
    const auto state = prefix_.Dir() / "state";
    std::string error;
    ASSERT_TRUE(emulator::InitHandheld(state, {}, &error)) << error;
    handheld_ = emulator::EmulatedHandheld::Open(state, &error);
    ASSERT_TRUE(handheld_) << error;
    ASSERT_TRUE(handheld_->Start(prefix_.Dir(), port, &error)) << error;
    ASSERT_TRUE(handheld_->Control("bootloader", &error)) << error;
  }
  PtyPeer& Silent(const std::string& name) {
    peers_.push_back(std::make_unique<PtyPeer>(PtyPeer::Mode::kSilent));
    prefix_.Link(name, peers_.back()->SlavePath());
    return *peers_.back();
  }
  uint32_t Run() {
    prefix_.LinkRestAbsent();
    return TestPorts(link_, [] { handheld::StopActiveSync(handheld::QueryWindowsFamily()); });
  }

  test::TempPrefix prefix_;
  std::unique_ptr<emulator::EmulatedHandheld> handheld_;
  std::vector<std::unique_ptr<PtyPeer>> peers_;
};

TEST_F(EmulatedLoaderTest, LoaderOnCom1AnswersAtTheFirstAttempt) {
  link_.serialLink.store(0);
  ServeLoader("com1");
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(link_.serialLink.load(), 1u);
  EXPECT_EQ(link_.PortTestReply(), "COM1 Port Test\r\n");
  EXPECT_EQ(link_.readerRunning.load(), 1u);
}

TEST_F(EmulatedLoaderTest, SecondUsbDeviceAnswersAtTheThirdAttempt) {
  PtyPeer& com1 = Silent("com1");
  PtyPeer& usb1 = Silent("wceusbsh001");
  ServeLoader("wceusbsh002");
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(link_.serialLink.load(), 0u);
  EXPECT_EQ(com1.Received(), "\r\r\r\r\r\r\r\rCOM1 Port Test\r");
  EXPECT_EQ(usb1.Received(), "\r\r\r\r\r\r\r\rUSB Port Test\r");
}

TEST_F(EmulatedLoaderTest, Com2AnswersAtTheFourthAttempt) {
  ServeLoader("com2");
  const uint64_t start = common::TickMs();
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(link_.serialLink.load(), 1u);
  // Attempt 8 would have come after four more attempts of 500 ms at least.
  EXPECT_GE(common::TickMs() - start, 5000u + 4 * 500u);
  EXPECT_EQ(link_.PortTestReply(), "COM2 Port Test\r\n");
}

TEST_F(EmulatedLoaderTest, BusyPortFailsAtOnceAndTheRotationGoesOn) {
  ServeLoader("com1");
  std::string error;
  ASSERT_TRUE(handheld_->ArmFault({emulator::FaultKind::BusyPort, 0, {}}, &error)) << error;
  peers_.push_back(std::make_unique<PtyPeer>(PtyPeer::Mode::kEcho));
  prefix_.Link("wceusbsh001", peers_.back()->SlavePath());
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(link_.serialLink.load(), 0u);
  EXPECT_EQ(peers_.back()->Received(), "\r\r\r\r\r\r\r\rUSB Port Test\r");
}

TEST_F(EmulatedLoaderTest, HandheldInItsSystemDoesNotAnswer) {
  ServeLoader("com1");
  std::string error;
  ASSERT_TRUE(handheld_->Control("system", &error)) << error;
  const uint64_t start = common::TickMs();
  EXPECT_EQ(Run(), 0u);
  // Two tries of com1 without an answer, 5500 ms each, after the 5000 ms start.
  EXPECT_GE(common::TickMs() - start, 5000u + 2 * 5500u);
  EXPECT_FALSE(link_.Port());
  EXPECT_FALSE(link_.ReaderStarted());
  EXPECT_EQ(link_.readerRunning.load(), 0u);
}

TEST_F(EmulatedLoaderTest, ReadDataInTheCommandSession) {
  ServeLoader("wceusbsh001");
  ASSERT_EQ(Run(), 1u);
  OpenCommandSession(link_);
  link_.SetFrameReply("");
  ASSERT_EQ(SendReadData(link_, 0xA0040100), 1u);
  const auto deadline = common::DeadlineAfter(10000);
  while (link_.FrameReply().find("KVOE") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    common::SleepMs(10);
  }
  const std::string reply = link_.FrameReply();
  ASSERT_NE(reply.find("KVOE"), std::string::npos);
  EXPECT_GT(reply.size(), common::READDATA_REPLY_SKIP + common::FRAME_END.size());
  EXPECT_EQ(CloseCommandSession(link_), 1u);
}

TEST_F(EmulatedLoaderTest, PulledCableDuringASessionClosesTheLink) {
  ServeLoader("wceusbsh001");
  ASSERT_EQ(Run(), 1u);
  ASSERT_EQ(link_.serialLink.load(), 0u);
  test::RecordingWatch page;
  link_.Watch(&page);
  OpenCommandSession(link_);
  std::string error;
  ASSERT_TRUE(handheld_->Control("unplug", &error)) << error;
  link_.JoinReader();  // ends by itself
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_FALSE(link_.Port());
  ASSERT_FALSE(page.Arms().empty());
  EXPECT_EQ(page.Arms().back(), 10u);
  EXPECT_EQ(link_.SendString("x"), 0u);
}

}  // namespace
}  // namespace corvash::bootlink
