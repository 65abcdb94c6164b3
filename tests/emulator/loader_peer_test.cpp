// The emulated boot loader's bytes, fed and read in memory.
#include "emulator/loader_peer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/loader_wire.h"
#include "emulator/flash_image.h"
#include "emulator/identity_record.h"
#include "emulator/memory_link.h"
#include "emulator/text_screen.h"
#include "tests/emulator/download_driver.h"

namespace corvash::emulator {
namespace {

using test::EndRecord;
using test::FileHeader;
using test::kBlock;
using test::Payload;
using test::Records;

const std::string kAck(1, '\x01');
const std::string kRequest(1, '\x02');

class LoaderPeerTest : public ::testing::Test {
 protected:
  // 8 MiB: the boot block, the reserve area and room for small images.
  LoaderPeerTest() : flash_(FlashImage::InMemory(kFlashBase, 8 << 20)), peer_(*flash_, screen_) {}

  // Feeds `bytes` in one piece and returns the answer.
  std::string Feed(std::string_view bytes) {
    peer_.Receive(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), link_);
    return link_.Take();
  }
  // Feeds one byte at a time and returns the whole answer.
  std::string FeedBytewise(std::string_view bytes) {
    std::string answer;
    for (char c : bytes) answer += Feed(std::string_view(&c, 1));
    return answer;
  }
  std::vector<uint8_t> FlashAt(uint32_t address, size_t length) {
    std::vector<uint8_t> bytes(length);
    flash_->Read(address, bytes);
    return bytes;
  }
  // A whole load as the desktop drives it; every step must be answered as
  // the desktop waits for it. Returns false at the first wrong answer.
  ::testing::AssertionResult Load(const std::vector<uint8_t>& payload, uint32_t offset, uint32_t size) {
    std::string command = "lnb c:\\test.nbf A0000000 " + ToHex(size) + " " + ToHex(offset) + "\r";
    const std::string answer = Feed(command);
    if (answer.find("start NB image download\r\n") == std::string::npos) {
      return ::testing::AssertionFailure() << "no start line: " << answer;
    }
    if (Feed(common::SYNC_HEADER) != kAck) return ::testing::AssertionFailure() << "sync header not acked";
    if (Feed(FileHeader(kFlashBase + offset, size - offset)) != kRequest) {
      return ::testing::AssertionFailure() << "no request after the file header";
    }
    for (const auto& record : Records(payload, kFlashBase, offset, size)) {
      if (Feed(record) != kRequest) return ::testing::AssertionFailure() << "no request after a record";
    }
    if (!Feed(EndRecord()).empty()) return ::testing::AssertionFailure() << "an answer to the end record";
    return ::testing::AssertionSuccess();
  }
  static std::string ToHex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
  }

  std::unique_ptr<FlashImage> flash_;
  TextScreen screen_;
  BootLoaderPeer peer_;
  MemoryLink link_;
};

// ---- The prompt -------------------------------------------------------------

TEST_F(LoaderPeerTest, EchoesPortTestLinesWithCrLf) {
  EXPECT_EQ(Feed(common::CR_BURST), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
  EXPECT_EQ(FeedBytewise(common::USB_TEST_LINE), "USB Port Test\r\n");
}

TEST_F(LoaderPeerTest, UnknownLinesGetOnlyTheirEcho) {
  EXPECT_EQ(Feed("help me\r"), "help me\r\n");
  EXPECT_EQ(Feed("readdata a0040100 28\r"), "readdata a0040100 28\r\n");  // unframed: not a read
}

TEST_F(LoaderPeerTest, OverlongLineIsEchoedAndCutWithoutHarm) {
  const std::string line(1000, 'x');
  EXPECT_EQ(Feed(line + "\r"), line + "\r\n");
  EXPECT_EQ(Feed(common::COM2_TEST_LINE), "COM2 Port Test\r\n");
}

TEST_F(LoaderPeerTest, BackspaceEditsTheLine) {
  Feed("shmsh\bg 0 0 \"hi\"\r");
  EXPECT_EQ(screen_.Lines()[0], "hi");
}

// ---- The command session ------------------------------------------------------

TEST_F(LoaderPeerTest, ReaddataAnswersHeadFlashBytesAndKvoeWithoutEcho) {
  ASSERT_TRUE(RecordInArea(*flash_, kReserveArea, ReserveRecord(HandheldIdentity{"NBT", "ENG", "2.04"})));
  EXPECT_EQ(Feed(common::SESSION_OPEN), "$QEL$\r\n");
  const std::string reply = Feed(common::ReadDataCommand(0xA0040100));
  ASSERT_EQ(reply.size(), 5u + 0x28 + 4);
  EXPECT_EQ(reply.substr(0, 5), "KVOS ");
  EXPECT_EQ(reply.substr(reply.size() - 4), "KVOE");
  const auto record = ReserveRecord(HandheldIdentity{"NBT", "ENG", "2.04"});
  EXPECT_EQ(reply.substr(5, 0x28), std::string(record.begin(), record.end()));
  // What the desktop keeps of the line once its zero bytes are dropped.
  std::string line;
  for (char c : reply) {
    if (c != '\0') line.push_back(c);
  }
  EXPECT_EQ(line.substr(common::READDATA_REPLY_SKIP, 19), "Quor 5210NBTENG2.04");
}

TEST_F(LoaderPeerTest, ReaddataOfErasedFlashStartsWithFF) {
  Feed(common::SESSION_OPEN);
  const std::string reply = Feed(common::ReadDataCommand(0xA0100000));
  ASSERT_GT(reply.size(), common::READDATA_REPLY_SKIP);
  EXPECT_EQ(static_cast<uint8_t>(reply[common::READDATA_REPLY_SKIP]), common::ERASED_BYTE);
}

TEST_F(LoaderPeerTest, FramedCommandSplitOverManyReadsIsAnsweredOnce) {
  Feed(common::SESSION_OPEN);
  const std::string reply = FeedBytewise(common::ReadDataCommand(0xA0000000));
  EXPECT_EQ(reply.size(), 5u + 0x28 + 4);
}

TEST_F(LoaderPeerTest, ReaddataIsCutToItsLimitAndBadNumbersAreRefused) {
  Feed(common::SESSION_OPEN);
  EXPECT_EQ(Feed("KVOSreaddata a0000000 100000\rKVOE").size(), 5u + 0x400 + 4);
  EXPECT_EQ(Feed("KVOSreaddata zz 28\rKVOE"), "KVOS?KVOE");
  EXPECT_EQ(Feed("KVOSreaddata a0000000\rKVOE"), "KVOS?KVOE");
  EXPECT_EQ(Feed("KVOSbogus\rKVOE"), "");
}

TEST_F(LoaderPeerTest, ReaddataBeyondTheFlashReadsErased) {
  Feed(common::SESSION_OPEN);
  const std::string reply = Feed("KVOSreaddata fffffff0 28\rKVOE");
  EXPECT_EQ(reply.substr(5, 0x28), std::string(0x28, '\xFF'));
}

TEST_F(LoaderPeerTest, SessionCloseReturnsToEcho) {
  Feed(common::SESSION_OPEN);
  EXPECT_EQ(Feed(common::SESSION_CLOSE), "");
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderPeerTest, CrBurstEndsTheSessionSoScreenTextIsDrawn) {
  Feed(common::SESSION_OPEN);
  Feed(common::CR_BURST);
  EXPECT_EQ(Feed("shmsg 2 3 \"ok\"\r"), "shmsg 2 3 \"ok\"\r\n");
  EXPECT_EQ(screen_.Lines()[2], "   ok");
}

TEST_F(LoaderPeerTest, SecondSessionOpenAfterCrBurstStillReads) {
  Feed(common::SESSION_OPEN);
  Feed(std::string(common::CR_BURST) + std::string(common::SESSION_OPEN));
  EXPECT_EQ(Feed(common::ReadDataCommand(0xA0000000)).size(), 5u + 0x28 + 4);
}

// ---- Loads and downloads ------------------------------------------------------

TEST_F(LoaderPeerTest, LoadIsAnsweredWithItsOwnFieldsAndTheStartLine) {
  const std::string command = common::FirstLoadCommand(0x1f00000);
  EXPECT_EQ(Feed(command),
            "lnb c:\\test.nbf A0000000 1f00000 00080000\r\n"
            ":F=c:\\test.nbf\r\n:A=A0000000\r\n:L=1f00000\r\n:O=00080000\r\n"
            "start NB image download\r\n");
}

TEST_F(LoaderPeerTest, LoadWithMissingFieldsStartsNothing) {
  const std::string answer = Feed("lnb c:\\test.nbf A0000000\r");
  EXPECT_EQ(answer.find("start NB"), std::string::npos);
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderPeerTest, TwoLoadsPutThePayloadWhereAFlashPutsIt) {
  // Not a multiple of the block: three full records and a short one in the first load.
  const uint32_t size = 0x80000 + 3 * kBlock + 5;
  const auto payload = Payload(size);
  ASSERT_TRUE(Load(payload, 0x80000, size));
  ASSERT_TRUE(Load(payload, 0x40000, 0x80000));
  EXPECT_EQ(peer_.Stats().recordsReceived, 4u + 2u);
  EXPECT_EQ(peer_.Stats().downloadsCompleted, 2u);
  const auto written = FlashAt(kFlashBase + 0x40000, size - 0x40000);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), payload.begin() + 0x40000));
  // The padding of the short block stays out of the flash, and so does the boot block.
  EXPECT_EQ(FlashAt(kFlashBase + size, 16), std::vector<uint8_t>(16, 0xFF));
  EXPECT_EQ(FlashAt(kFlashBase, 16), std::vector<uint8_t>(16, 0xFF));
  // Back at the prompt afterwards.
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderPeerTest, ExactMultipleOfTheBlockAsksOnceMoreForTheEndRecord) {
  const uint32_t size = 0x80000 + 2 * kBlock;
  ASSERT_TRUE(Load(Payload(size), 0x80000, size));
  EXPECT_EQ(peer_.Stats().recordsReceived, 2u);
}

TEST_F(LoaderPeerTest, DownloadOverwritesWhatTheFlashHeldBefore) {
  const uint32_t size = 0x80000 + kBlock;
  ASSERT_TRUE(Load(Payload(size, 1), 0x80000, size));
  const auto second = Payload(size, 2);
  ASSERT_TRUE(Load(second, 0x80000, size));
  const auto written = FlashAt(kFlashBase + 0x80000, kBlock);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), second.begin() + 0x80000));
}

TEST_F(LoaderPeerTest, RecordsArrivingInOddPiecesAreTakenAlike) {
  const uint32_t size = 0x80000 + kBlock + 100;
  const auto payload = Payload(size);
  Feed(common::FirstLoadCommand(size));
  std::string stream = std::string(common::SYNC_HEADER) + FileHeader(kFlashBase + 0x80000, size - 0x80000);
  for (const auto& record : Records(payload, kFlashBase, 0x80000, size)) stream += record;
  stream += EndRecord();
  std::string answer;
  for (size_t at = 0; at < stream.size(); at += 997) answer += Feed(std::string_view(stream).substr(at, 997));
  EXPECT_EQ(answer, kAck + kRequest + kRequest + kRequest);
  const auto written = FlashAt(kFlashBase + 0x80000, kBlock + 100);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), payload.begin() + 0x80000));
}

TEST_F(LoaderPeerTest, CrWhileAwaitingTheSyncHeaderReturnsToThePrompt) {
  Feed(common::SECOND_LOAD_COMMAND);
  EXPECT_EQ(Feed(std::string(common::CR_BURST.substr(0, 1)) + std::string(common::COM1_TEST_LINE)),
            "\r\nCOM1 Port Test\r\n");
}

// ---- The screen -----------------------------------------------------------------

TEST_F(LoaderPeerTest, VersionBoxLinesDrawTheFrameWithTheVersion) {
  const std::string version = "2.04";
  for (size_t i = 0; i < common::VERSION_BOX_LINES.size(); ++i) {
    std::string line(common::VERSION_BOX_LINES[i]);
    const size_t mark = line.find("%c");
    if (mark != std::string::npos) line.replace(mark, 2, 1, version[i - common::VERSION_BOX_FIRST_CHAR_LINE]);
    EXPECT_EQ(Feed(line), line + "\n");
  }
  const auto lines = screen_.Lines();
  EXPECT_EQ(lines[0xB], " ************");
  EXPECT_EQ(lines[0xC], " *          *");
  EXPECT_EQ(lines[0xE], " *   2.04   *");
  EXPECT_EQ(lines[0x10], " *          *");
  EXPECT_EQ(lines[0x11], " ************");
  EXPECT_EQ(lines[0xA], "");
}

TEST_F(LoaderPeerTest, ScreenTextIsCutAtTheEdgesAndMalformedLinesAreRefused) {
  Feed("shmsg 0 1a \"abcdefgh\"\r");
  Feed("shmsg 14 0 \"below\"\r");
  EXPECT_NE(Feed("shmsg 1 \"no column\"\r").find("shmsg: expected"), std::string::npos);
  const auto lines = screen_.Lines();
  EXPECT_EQ(lines[0], std::string(0x1a, ' ') + "abcd");
  EXPECT_EQ(screen_.Text().find("below"), std::string::npos);
}

// ---- Faults -----------------------------------------------------------------------

class LoaderFaultTest : public LoaderPeerTest {
 protected:
  static constexpr uint32_t kSize = 0x80000 + 2 * kBlock + 5;  // three records
  void SetUp() override {
    payload_ = Payload(kSize);
    records_ = Records(payload_, kFlashBase, 0x80000, kSize);
  }
  void StartLoad() {
    Feed(common::FirstLoadCommand(kSize));
  }
  void Arm(FaultKind kind, uint32_t count = 0) { peer_.Arm(Fault{kind, count, {}}); }

  std::vector<uint8_t> payload_;
  std::vector<std::string> records_;
};

TEST_F(LoaderFaultTest, SilentAnswersNothingUntilCleared) {
  Arm(FaultKind::Silent);
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "");
  Arm(FaultKind::Clear);
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderFaultTest, SilentAfterRecordsWithholdsTheNextRequestAndEverythingAfter) {
  Arm(FaultKind::SilentAfterRecords, 2);
  StartLoad();
  EXPECT_EQ(Feed(common::SYNC_HEADER), kAck);
  EXPECT_EQ(Feed(FileHeader(0xA0080000, kSize - 0x80000)), kRequest);
  EXPECT_EQ(Feed(records_[0]), kRequest);
  EXPECT_EQ(Feed(records_[1]), "");
  EXPECT_TRUE(peer_.Silent());
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "");
  // The records that came in are in flash.
  EXPECT_EQ(FlashAt(0xA0080000, 4), std::vector<uint8_t>(payload_.begin() + 0x80000, payload_.begin() + 0x80004));
  peer_.Restart();
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderFaultTest, DropAfterRecordsPullsTheCableAtThatRecord) {
  Arm(FaultKind::DropAfterRecords, 1);
  StartLoad();
  Feed(common::SYNC_HEADER);
  Feed(FileHeader(0xA0080000, kSize - 0x80000));
  EXPECT_EQ(Feed(records_[0]), "");
  EXPECT_TRUE(link_.Dropped());
  // Spent, and the loader is back at its prompt for the next link.
  EXPECT_EQ(Feed(common::COM1_TEST_LINE), "COM1 Port Test\r\n");
}

TEST_F(LoaderFaultTest, DropAfterZeroRecordsDropsAtTheSyncHeader) {
  Arm(FaultKind::DropAfterRecords, 0);
  StartLoad();
  EXPECT_EQ(Feed(common::SYNC_HEADER), "");
  EXPECT_TRUE(link_.Dropped());
}

TEST_F(LoaderFaultTest, TheEndRecordCountsSoADropCanFallBetweenTheLoads) {
  Arm(FaultKind::DropAfterRecords, 4);  // three records and the end record
  StartLoad();
  Feed(common::SYNC_HEADER);
  Feed(FileHeader(0xA0080000, kSize - 0x80000));
  for (const auto& record : records_) EXPECT_EQ(Feed(record), kRequest);
  EXPECT_FALSE(link_.Dropped());
  Feed(EndRecord());
  EXPECT_TRUE(link_.Dropped());
  EXPECT_EQ(peer_.Stats().downloadsCompleted, 1u);
}

TEST_F(LoaderFaultTest, NoRecordRequestWithholdsOnlyTheRequestDue) {
  Arm(FaultKind::NoRecordRequest);
  StartLoad();
  EXPECT_EQ(Feed(common::SYNC_HEADER), kAck);
  EXPECT_EQ(Feed(FileHeader(0xA0080000, kSize - 0x80000)), "");
  EXPECT_FALSE(peer_.Silent());
}

TEST_F(LoaderFaultTest, NoRecordRequestAfterNRecords) {
  Arm(FaultKind::NoRecordRequest, 2);
  StartLoad();
  Feed(common::SYNC_HEADER);
  EXPECT_EQ(Feed(FileHeader(0xA0080000, kSize - 0x80000)), kRequest);
  EXPECT_EQ(Feed(records_[0]), kRequest);
  EXPECT_EQ(Feed(records_[1]), "");
}

TEST_F(LoaderFaultTest, NoHeaderAckMissesOneSyncHeader) {
  Arm(FaultKind::NoHeaderAck);
  StartLoad();
  EXPECT_EQ(Feed(common::SYNC_HEADER), "");
  // The loader still waits for a sync header: the next one is taken.
  EXPECT_EQ(Feed(common::SYNC_HEADER), kAck);
}

TEST_F(LoaderFaultTest, FaultCountsRunFromArmingAcrossDownloads) {
  const uint32_t size = 0x80000 + kBlock;
  ASSERT_TRUE(Load(Payload(size), 0x80000, size));  // two records before arming
  Arm(FaultKind::SilentAfterRecords, 1);
  StartLoad();
  Feed(common::SYNC_HEADER);
  Feed(FileHeader(0xA0080000, kSize - 0x80000));
  EXPECT_EQ(Feed(records_[0]), "");
}

}  // namespace
}  // namespace corvash::emulator
