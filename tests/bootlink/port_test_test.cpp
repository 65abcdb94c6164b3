// TestPorts over real ptys with a small echo peer: what the emulated loader
// cannot show (a foreign echo, a reader that never starts, a busy port's
// untouched settings), and what is left after a failed search.
#include "desktop/bootlink/port_test.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <memory>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"
#include "common/clock.h"
#include "tests/bootlink/link_fixture.h"
#include "tests/bootlink/pty_peer.h"

namespace corvash::bootlink {
namespace {

using test::PtyPeer;

constexpr const char* kCom1Wire = "\r\r\r\r\r\r\r\rCOM1 Port Test\r";
constexpr const char* kUsbWire = "\r\r\r\r\r\r\r\rUSB Port Test\r";
constexpr const char* kCom2Wire = "\r\r\r\r\r\r\r\rCOM2 Port Test\r";

class PortTestTest : public test::LinkTest {
 protected:
  // A peer behind candidate `name`.
  PtyPeer& Peer(const std::string& name, PtyPeer::Mode mode = PtyPeer::Mode::kEcho,
                PtyPeer::Handler handler = {}) {
    peers_.push_back(std::make_unique<PtyPeer>(mode, std::move(handler)));
    prefix_.Link(name, peers_.back()->SlavePath());
    return *peers_.back();
  }
  uint32_t Run() {
    prefix_.LinkRestAbsent();
    const uint64_t start = common::TickMs();
    const uint32_t result = TestPorts(link_, [] { handheld::StopActiveSync(handheld::QueryWindowsFamily()); });
    elapsedMs_ = common::TickMs() - start;
    return result;
  }
  void ExpectNothingLeft() {
    EXPECT_FALSE(link_.Port());
    EXPECT_FALSE(link_.ReaderStarted());
    EXPECT_EQ(link_.readerRunning.load(), 0u);
  }

  test::TempPrefix prefix_;
  std::vector<std::unique_ptr<PtyPeer>> peers_;
  uint64_t elapsedMs_ = 0;
};

TEST_F(PortTestTest, BusyCandidateFailsAtOnceUntouched) {
  PtyPeer& com1 = Peer("com1");
  test::PortHolder holder(com1.SlavePath());
  ASSERT_TRUE(holder.Held());
  termios before{};
  ASSERT_EQ(::tcgetattr(holder.Descriptor(), &before), 0);
  PtyPeer& usb1 = Peer("wceusbsh001");
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(link_.serialLink.load(), 0u);
  EXPECT_EQ(com1.Received(), "");  // no test line
  EXPECT_EQ(usb1.Received(), kUsbWire);
  termios after{};
  ASSERT_EQ(::tcgetattr(holder.Descriptor(), &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);  // no settings written
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  // Access denied costs 1100 ms more.
  EXPECT_GE(elapsedMs_, 5000u + 500u + 1100u + 500u);
}

TEST_F(PortTestTest, EchoOfAnotherCandidatesLineDoesNotPass) {
  PtyPeer& com2 = Peer("com2", PtyPeer::Mode::kHandler, [](std::string_view got) {
    return got.find('\r') != std::string_view::npos && got.find("Port Test") != std::string_view::npos
               ? std::string("COM1 Port Test\r\n")
               : std::string();
  });
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(com2.Received(), std::string(kCom2Wire) + kCom2Wire);
  EXPECT_EQ(link_.PortTestReply(), "COM1 Port Test\r\n");
  ExpectNothingLeft();
}

TEST_F(PortTestTest, ReaderThatNeverStartsIsAFailedAttempt) {
  PtyPeer& com1 = Peer("com1");
  link_.FailNextReaderStart();
  ASSERT_EQ(Run(), 1u);
  // Attempt 1 sent nothing; attempt 5 found the loader.
  EXPECT_EQ(com1.Received(), kCom1Wire);
  EXPECT_GE(elapsedMs_, 5000u + 2000u + 4 * 500u);
}

TEST_F(PortTestTest, ANewSearchReplacesALiveLink) {
  PtyPeer& com1 = Peer("com1");
  ASSERT_EQ(Run(), 1u);
  com1.ClearReceived();
  ASSERT_EQ(Run(), 1u);
  EXPECT_EQ(com1.Received(), kCom1Wire);
  EXPECT_EQ(link_.readerRunning.load(), 1u);
}

}  // namespace
}  // namespace corvash::bootlink
