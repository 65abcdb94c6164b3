// The reply side without a port: lines, keys, download requests.
#include "desktop/bootlink/reply_parser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "desktop/session/update_session.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/reply_actions.h"
#include "common/event.h"
#include "tests/bootlink/link_fixture.h"

namespace corvash::bootlink {
namespace {

using common::TextOf;

TEST(GetKeyValue, TakesTheTextUpToCrOrBackspace) {
  EXPECT_EQ(GetKeyValue(":A=A0000000\r:L=FFFFFFFF\r\n", ":A="), "A0000000");
  EXPECT_EQ(GetKeyValue(":A=A0000000\r:L=FFFFFFFF\r\n", ":L="), "FFFFFFFF");
  EXPECT_EQ(GetKeyValue("x:O=\r\b80000\b7\n", ":O="), "80000");
  EXPECT_EQ(GetKeyValue(":O=80000\n", ":O="), "80000\n");
  EXPECT_EQ(GetKeyValue("no key here\n", ":A="), "");
  EXPECT_EQ(GetKeyValue("ends with :A=", ":A="), "");
  EXPECT_EQ(GetKeyValue(":A=\r\r", ":A="), "");
}

class ReplyParserTest : public test::LinkTest {
 protected:
  void Feed(std::string_view bytes) {
    parser_.TakeBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  DownloadContext& context_ = link_.Download();
  LinkReplySink sink_{link_};
  ReplyParser parser_{sink_};
};

TEST_F(ReplyParserTest, AddressAndLengthInOneLine) {
  Feed(":A=A0000000\r:L=FFFFFFFF\r\n");
  EXPECT_EQ(TextOf(context_.addressText), "A0000000");
  EXPECT_EQ(TextOf(context_.lengthText), "FFFFFFFF");
  EXPECT_EQ(parser_.LineLength(), 0u);
}

TEST_F(ReplyParserTest, OffsetKeepsItsLfWithoutCr) {
  Feed(":O=80000\r\n");
  EXPECT_EQ(TextOf(context_.offsetText), "80000");
  Feed(":O=80000\n");
  EXPECT_EQ(TextOf(context_.offsetText), "80000\n");
}

TEST_F(ReplyParserTest, FileKeyTakesThePcsImagePath) {
  link_.SetDownloadImage("/home/user/rom.nbf");
  Feed(":F=c:\\test.nbf\r\n");
  EXPECT_EQ(TextOf(context_.fileName), "/home/user/rom.nbf");
}

TEST_F(ReplyParserTest, TextsStayUntilTheKeyComesAgain) {
  Feed(":A=A0080000\r\n");
  Feed(":L=1234\r\n");
  EXPECT_EQ(TextOf(context_.addressText), "A0080000");
  EXPECT_EQ(TextOf(context_.lengthText), "1234");
}

TEST_F(ReplyParserTest, FrameReplyIsCompleteAtKvoeWithoutLf) {
  Feed("\xff\xff\xff\xff\xffQuor 5210KVO");
  EXPECT_EQ(link_.FrameReply(), "");
  Feed("E");
  EXPECT_EQ(link_.FrameReply(), "\xff\xff\xff\xff\xffQuor 5210KVOE");
  EXPECT_EQ(parser_.LineLength(), 0u);
}

TEST_F(ReplyParserTest, ZeroByteVanishes) {
  Feed(std::string("ab\0cdKVOE", 9));
  EXPECT_EQ(link_.FrameReply(), "abcdKVOE");
}

TEST_F(ReplyParserTest, PortTestLinePulsesAWaiter) {
  auto event = &link_.PortTestEvent();
  std::atomic<bool> passed{false};
  std::thread waiter([&] { passed = event->Wait(common::kInfinite); });
  while (!passed.load()) {
    Feed("COM1 Port Test\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  waiter.join();
  EXPECT_EQ(link_.PortTestReply(), "COM1 Port Test\r\n");
  // A pulse with nobody waiting leaves nothing signalled.
  Feed("COM1 Port Test\r\n");
  EXPECT_FALSE(event->IsSignalled());
}

TEST_F(ReplyParserTest, OverlongLineIsCutAndTheNextLineIsRead) {
  const std::string longLine = ":A=" + std::string(1500, '7');
  Feed(longLine);
  EXPECT_EQ(parser_.LineLength(), ReplyParser::kLineCapacity);
  Feed("\r\n");
  // The value was cut to its field (259 characters).
  EXPECT_EQ(TextOf(context_.addressText), std::string(sizeof(context_.addressText) - 1, '7'));
  Feed(":L=5\r\n");
  EXPECT_EQ(TextOf(context_.lengthText), "5");
}

TEST_F(ReplyParserTest, RepliesAreCutToTheirFields) {
  Feed(std::string(200, 'x') + "KVOE");
  EXPECT_EQ(link_.FrameReply(), std::string(127, 'x'));
  Feed(std::string(40, 'y') + "Port Test\r\n");
  EXPECT_EQ(link_.PortTestReply(), std::string(31, 'y'));
}

TEST_F(ReplyParserTest, LineEndPastTheCutIsStillFound) {
  // The cut line has lost its "KVOE", but the line ends there all the same.
  Feed(std::string(1200, 'x'));
  Feed("KVOE");
  EXPECT_EQ(parser_.LineLength(), 0u);
  EXPECT_EQ(link_.FrameReply(), "");
  Feed("abcKVOE");
  EXPECT_EQ(link_.FrameReply(), "abcKVOE");
}

TEST_F(ReplyParserTest, WatchdogIsReArmedByBytesButNotByZeros) {
  test::RecordingWatch page;
  link_.Watch(&page);
  Feed(std::string(3, '\0'));
  EXPECT_TRUE(page.Arms().empty());
  Feed("abc");
  EXPECT_EQ(page.Arms(), std::vector<uint32_t>{150000});
}

class DownloadStartTest : public ReplyParserTest {
 protected:
  void SetUp() override {
    ReplyParserTest::SetUp();
    SetDownloadProc([this](LoaderLink&, DownloadContext& context) -> uint32_t {
      ++starts_;
      seenAddress_ = std::string(TextOf(context.addressText));
      release_.Wait(common::kInfinite);
      context.DownloadActive.store(0);
      return 1;
    });
  }
  void TearDown() override {
    release_.Set();
    context_.JoinThread();
    ReplyParserTest::TearDown();
  }
  std::atomic<int> starts_{0};
  std::string seenAddress_;
  common::Event release_{true, false};
};

TEST_F(DownloadStartTest, OneStartLineStartsOneDownloadAndLaterKeysWait) {
  Feed(":A=A0080000\r\n:L=FFFFFFFF\r\nstart NB image download\r\n");
  EXPECT_EQ(context_.DownloadActive.load(), 1u);
  Feed(":A=DEADBEEF\r\nstart NB image download\r\n");
  release_.Set();
  context_.JoinThread();
  EXPECT_EQ(starts_.load(), 1);
  EXPECT_EQ(seenAddress_, "A0080000");
  EXPECT_EQ(TextOf(context_.addressText), "A0080000");
  EXPECT_EQ(context_.DownloadActive.load(), 0u);
  // After the download, keys count again.
  Feed(":A=A0040000\r\n");
  EXPECT_EQ(TextOf(context_.addressText), "A0040000");
}

TEST_F(DownloadStartTest, RequestBytesSignalTheirEvents) {
  Feed("start NB image download\r\n");
  Feed("\x01");
  EXPECT_TRUE(context_.NotifyHeaderEvent.Wait(0));
  EXPECT_FALSE(context_.NotifyRecordEvent.Wait(0));
  // Two record requests with no record in between count once.
  Feed("\x02");
  Feed("\x02");
  EXPECT_TRUE(context_.NotifyRecordEvent.Wait(0));
  EXPECT_FALSE(context_.NotifyRecordEvent.Wait(0));
  EXPECT_EQ(parser_.LineLength(), 0u);
}

TEST_F(DownloadStartTest, RequestAfterNoiseIsStillSeen) {
  Feed("start NB image download\r\n");
  Feed("noise\x02");
  EXPECT_TRUE(context_.NotifyRecordEvent.Wait(0));
  EXPECT_EQ(parser_.LineLength(), 0u);
  Feed(std::string(1100, 'n'));  // a full line: the request is past its end
  Feed("\x01");
  EXPECT_TRUE(context_.NotifyHeaderEvent.Wait(0));
}

TEST(LinkWithoutDownload, StartLineEndsTheDownloadAtOnce) {
  std::atomic<uint32_t> serialLink{1};
  LoaderLink link(nullptr, serialLink);
  LinkReplySink sink(link);
  ReplyParser parser(sink);
  const auto feed = [&](std::string_view bytes) {
    parser.TakeBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  };
  feed("start NB image download\r\n");
  EXPECT_EQ(link.Download().DownloadActive.load(), 0u);
  feed(":A=A0040000\r\n");
  EXPECT_EQ(TextOf(link.Download().addressText), "A0040000");
}

}  // namespace
}  // namespace corvash::bootlink
