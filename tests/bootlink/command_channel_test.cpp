// The sending side, byte for byte, over a real pty.
#include "desktop/bootlink/command_channel.h"

#include <gtest/gtest.h>

#include "desktop/session/update_session.h"
#include "common/loader_wire.h"
#include "common/event.h"
#include "desktop/platform/serial_port.h"
#include "tests/bootlink/link_fixture.h"
#include "tests/bootlink/pty_peer.h"

namespace corvash::bootlink {
namespace {

using test::PtyPeer;

class CommandChannelTest : public test::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    auto opened = platform::OpenSerialPort(peer_.SlavePath());
    ASSERT_TRUE(opened.port) << opened.error;
    ASSERT_TRUE(opened.port->Configure());
    link_.PublishPort(opened.port);
  }
  // What the loader has received once `count` bytes are in.
  std::string Wire(size_t count) {
    EXPECT_TRUE(peer_.WaitReceived(count));
    return peer_.Received();
  }
  PtyPeer peer_{PtyPeer::Mode::kSilent};
};

TEST_F(CommandChannelTest, SendStringPutsBinaryBytesOnTheWireUnchanged) {
  const std::string bytes("B000FF\n\0\x01\x02\r\xff", 12);
  EXPECT_EQ(link_.SendString(bytes.data(), bytes.size()), 1u);
  EXPECT_EQ(Wire(12), bytes);
}

TEST_F(CommandChannelTest, SessionCommandsAreExact) {
  EXPECT_EQ(OpenCommandSession(link_), 1u);
  EXPECT_EQ(Wire(6), "$QEL$\r");
  EXPECT_EQ(link_.commandSessionOpen.load(), 1u);
  peer_.ClearReceived();
  // A second open clears the loader's line first.
  OpenCommandSession(link_);
  EXPECT_EQ(Wire(14), "\r\r\r\r\r\r\r\r$QEL$\r");
  peer_.ClearReceived();
  EXPECT_EQ(CloseCommandSession(link_), 1u);
  EXPECT_EQ(Wire(14), "KVOS$QEL$\rKVOE");
  EXPECT_EQ(link_.commandSessionOpen.load(), 0u);
}

TEST_F(CommandChannelTest, FirstReadDataCommand) {
  EXPECT_EQ(common::ReadDataCommand(0xA0040100).size(), 29u);
  EXPECT_EQ(SendReadData(link_, 0xA0040100), 1u);
  EXPECT_EQ(Wire(29), "KVOSreaddata a0040100 28\rKVOE");
  EXPECT_EQ(common::ReadDataCommand(0x1F), "KVOSreaddata 1f 28\rKVOE");
}

TEST_F(CommandChannelTest, CompleteEventLetsOneWaiterPass) {
  ASSERT_EQ(link_.SendString("x"), 1u);
  auto complete = &link_.SendCompleteEvent();
  ASSERT_TRUE(complete);
  EXPECT_TRUE(complete->Wait(0));  // stayed signalled with nobody waiting
  EXPECT_FALSE(complete->Wait(0));
}

TEST_F(CommandChannelTest, ClosedLinkSendsNothingAndSignalsNothing) {
  test::RecordingWatch page;
  link_.Watch(&page);
  test::TraceCapture trace;
  link_.linkClosed.store(1);
  EXPECT_EQ(link_.SendString("COM1 Port Test\r"), 0u);
  EXPECT_EQ(trace.Text(), "\nReady write file but disconnect\n");
  EXPECT_TRUE(page.Arms().empty());
  EXPECT_TRUE(link_.Port());
  auto complete = &link_.SendCompleteEvent();
  EXPECT_FALSE(complete->Wait(0));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(peer_.Received(), "");
}

TEST_F(CommandChannelTest, FailedWriteClosesTheLinkAndFiresTheWatchdog) {
  test::RecordingWatch page;
  link_.Watch(&page);
  test::TraceCapture trace;
  peer_.Drop();
  EXPECT_EQ(link_.SendString("KVOS$QEL$\rKVOE"), 0u);
  EXPECT_FALSE(link_.Port());
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_EQ(page.Arms(), std::vector<uint32_t>{10});
  EXPECT_EQ(trace.Text(), "\r\n Line 192: Write file fail !\r\n\r\n Line 202:Write file Error! \r\n");
  auto complete = &link_.SendCompleteEvent();
  EXPECT_FALSE(complete->Wait(0));
  // Every later send is refused until the next port test.
  EXPECT_EQ(link_.SendString("x"), 0u);
}

TEST_F(CommandChannelTest, NoPortIsAFailedWrite) {
  link_.Port()->Close();
  link_.PublishPort(nullptr);
  EXPECT_EQ(link_.SendString("x"), 0u);
  EXPECT_EQ(link_.linkClosed.load(), 1u);
}

TEST_F(CommandChannelTest, ConcurrentSendersNeverInterleave) {
  const std::string a(5000, 'a');
  const std::string b(5000, 'b');
  std::thread other([&] {
    for (int i = 0; i < 20; ++i) link_.SendString(b);
  });
  for (int i = 0; i < 20; ++i) link_.SendString(a);
  other.join();
  const std::string wire = Wire(200000);
  ASSERT_EQ(wire.size(), 200000u);
  for (size_t at = 0; at < wire.size(); at += 5000) {
    EXPECT_EQ(wire.substr(at, 5000), std::string(5000, wire[at])) << "message at " << at << " was split";
  }
}

}  // namespace
}  // namespace corvash::bootlink
