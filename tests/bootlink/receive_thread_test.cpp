// The receive thread on a real pty: replies taken in, the lost USB link,
// read errors on a COM port, a reader that cannot start.
#include "desktop/bootlink/receive_thread.h"

#include <gtest/gtest.h>

#include "desktop/session/update_session.h"
#include "desktop/platform/serial_port.h"
#include "tests/bootlink/link_fixture.h"
#include "tests/bootlink/pty_peer.h"

namespace corvash::bootlink {
namespace {

using test::PtyPeer;

template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

class ReceiveThreadTest : public test::LinkTest {
 protected:
  void StartOn(PtyPeer& peer) {
    auto opened = platform::OpenSerialPort(peer.SlavePath());
    ASSERT_TRUE(opened.port);
    ASSERT_TRUE(opened.port->Configure());
    link_.PublishPort(opened.port);
    ASSERT_TRUE(StartReceiveThread(link_));
    ASSERT_TRUE(Eventually([this] { return link_.readerRunning.load() == 1; }));
  }
  PtyPeer peer_{PtyPeer::Mode::kSilent};
};

TEST_F(ReceiveThreadTest, TakesInAReplyAsItArrives) {
  StartOn(peer_);
  peer_.Send("\xff\xff\xff\xff\xffQuor");
  peer_.Send(" 5210NBTENG2.04KVOE");
  EXPECT_TRUE(Eventually([this] { return !link_.FrameReply().empty(); }));
  EXPECT_EQ(link_.FrameReply(), "\xff\xff\xff\xff\xffQuor 5210NBTENG2.04KVOE");
}

TEST_F(ReceiveThreadTest, EndsOnLinkClosedAndClosesItsPort) {
  StartOn(peer_);
  link_.linkClosed.store(1);
  link_.JoinReader();
  EXPECT_EQ(link_.readerRunning.load(), 0u);
  EXPECT_FALSE(link_.Port());
  // The port is free again.
  EXPECT_TRUE(platform::OpenSerialPort(peer_.SlavePath()).port);
}

TEST_F(ReceiveThreadTest, LostUsbLinkClosesTheLinkAndFiresTheWatchdog) {
  test::RecordingWatch page;
  link_.Watch(&page);
  test::TraceCapture trace;
  link_.serialLink.store(0);
  StartOn(peer_);
  page.ClearArms();
  peer_.Drop();
  link_.JoinReader();  // ends by itself
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_FALSE(link_.Port());
  EXPECT_EQ(link_.readerRunning.load(), 0u);
  EXPECT_EQ(page.Arms(), std::vector<uint32_t>{10});
  EXPECT_NE(trace.Text().find("\r\n Line 572: Write file fail !\r\n\r\n Exit USBReadThread!\r\n"),
            std::string::npos);
}

TEST_F(ReceiveThreadTest, ReadErrorsOnAComPortNeverEndTheThread) {
  link_.serialLink.store(1);
  StartOn(peer_);
  peer_.Drop();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(link_.readerRunning.load(), 1u);
  EXPECT_EQ(link_.linkClosed.load(), 0u);
  link_.linkClosed.store(1);
  link_.JoinReader();
  EXPECT_EQ(link_.readerRunning.load(), 0u);
}

TEST_F(ReceiveThreadTest, OnlyOneReaderAtATime) {
  StartOn(peer_);
  EXPECT_FALSE(StartReceiveThread(link_));
}

TEST_F(ReceiveThreadTest, ReaderThatCannotSetUpNeverRuns) {
  link_.FailNextReaderStart();
  ASSERT_TRUE(StartReceiveThread(link_));
  link_.JoinReader();
  EXPECT_EQ(link_.readerRunning.load(), 0u);
}

}  // namespace
}  // namespace corvash::bootlink
