// Whole flashes through page 102 and its workers against the emulated
// loader (in memory): the recovery run, the normal run, the failures at each
// phase of a flash and the recovery flash that follows them.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/receive_thread.h"
#include "emulator/identity_record.h"
#include "common/clock.h"
#include "desktop/session/page_ids.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

using emulator::FaultKind;

constexpr uint32_t kBlock = 0x20000;
constexpr size_t kFlashBytes = 0x200000;
// First load: 4 records (3 whole, 1 short) and the end record; second: 2 and the end record.
constexpr size_t kPayloadBytes = 0x80000 + 3 * kBlock + 0x1234;

class FlashSequenceTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    loader_ = std::make_unique<MemoryLoader>(kFlashBytes);
    payload_ = MakePayload(kPayloadBytes, 11);
    path_ = WriteImage(images_.Path(), "rom.nbf", payload_);
  }
  // A fresh link to the loader, as after a new port test.
  void Reconnect() {
    link_.Close();
    loader_->port = std::make_shared<LoaderPort>(&loader_->peer);
    Connect(loader_->port);
  }
  int Recover() {
    PrepareRecovery(path_);
    run_.flow.mainWindow.store(1);
    return RunPage([this] { CheckAndFlash(); });
  }
  void ExpectFlashEqualsImage() {
    EXPECT_TRUE(loader_->Read(0xA0080000, kPayloadBytes - 0x80000) ==
                std::vector<uint8_t>(payload_.begin() + 0x80000, payload_.end()));
    EXPECT_TRUE(loader_->Read(0xA0040000, 0x40000) ==
                std::vector<uint8_t>(payload_.begin() + 0x40000, payload_.begin() + 0x80000));
  }

  std::unique_ptr<MemoryLoader> loader_;
  std::vector<uint8_t> payload_;
  std::string path_;
};

TEST_F(FlashSequenceTest, RecoveryRunFlashesBothLoads) {
  Connect(loader_->port);
  EXPECT_EQ(Recover(), 1);
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_FALSE(SettingsStored());
  ExpectFlashEqualsImage();
  EXPECT_EQ(loader_->peer.Stats().recordsReceived, 4u + 2u);
  EXPECT_EQ(loader_->peer.Stats().downloadsCompleted, 2u);
  const std::string written = loader_->port->Written();
  EXPECT_EQ(written.rfind("lnb c:\\test.nbf A0000000 e1234 00080000\r", 0), 0u);
  EXPECT_NE(written.find("lnb c:\\test.nbf A0000000 80000 00040000\r"), std::string::npos);
  EXPECT_EQ(run_.image.imageSizeKB, (kPayloadBytes + 32) / 1024);
  EXPECT_EQ(host_.Total(), 0u);
}

TEST_F(FlashSequenceTest, NormalRunIdentifiesThroughTheLoaderFirst) {
  emulator::HandheldIdentity identity;
  ASSERT_TRUE(emulator::RecordInArea(*loader_->flash, emulator::kReserveArea, emulator::ReserveRecord(identity)));
  Connect(loader_->port);
  common::CopyText(run_.image.imagePath, path_);
  common::CopyText(run_.paths.programDir, images_.Path().string());
  EXPECT_EQ(RunPage([this] { IdentifyAndFlash(); }), 1);
  EXPECT_EQ(common::TextOf(run_.handheld.deviceModel), "Quor 5210");
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_EQ(link_.commandSessionOpen.load(), 0u);
  ExpectFlashEqualsImage();
}

TEST_F(FlashSequenceTest, VariantMismatchShowsIncompatibleImageAndSendsNoLoad) {
  emulator::HandheldIdentity identity;
  identity.variant = "WBT";
  ASSERT_TRUE(emulator::RecordInArea(*loader_->flash, emulator::kReserveArea, emulator::ReserveRecord(identity)));
  Connect(loader_->port);
  common::CopyText(run_.image.imagePath, path_);
  common::CopyText(run_.paths.programDir, images_.Path().string());
  EXPECT_EQ(RunPage([this] { IdentifyAndFlash(); }), 2);
  EXPECT_EQ(host_.Count(123), 1);
  EXPECT_EQ(host_.Total(), 1u);
  EXPECT_EQ(run_.flow.versionMismatch.load(), 1u);
  EXPECT_EQ(run_.flow.mainWindow.load(), 0u);
  EXPECT_EQ(loader_->port->Written().find("lnb"), std::string::npos);
  EXPECT_TRUE(SettingsStored());
}

TEST_F(FlashSequenceTest, LoadThatCannotBeSentFailsThePage) {
  Connect(loader_->port);
  loader_->port->FailWritesAfter(0);
  EXPECT_EQ(Recover(), 2);  // the driver shows FEHLER 113 for it, once
  EXPECT_EQ(host_.Total(), 0u);
  EXPECT_EQ(link_.flashState.load(), 0u);
  EXPECT_TRUE(SettingsStored());
}

TEST_F(FlashSequenceTest, ImageBodySize) {
  bool notOpened = true;
  EXPECT_EQ(bootlink::GetImageBodySize(link_, path_, notOpened), kPayloadBytes);
  EXPECT_FALSE(notOpened);
  EXPECT_TRUE(link_.ImageFileOpen());

  const std::string tiny = (images_.Path() / "tiny.nbf").string();
  FILE* file = std::fopen(tiny.c_str(), "wb");
  std::fputs("Quor 5210-NBT-ENG-2.04", file);  // shorter than its header
  std::fclose(file);
  EXPECT_EQ(bootlink::GetImageBodySize(link_, tiny, notOpened), 0u);
  EXPECT_FALSE(notOpened);
  EXPECT_FALSE(link_.ImageFileOpen());

  // An image that cannot be opened takes the link down; the caller reports it.
  Connect(loader_->port);
  EXPECT_EQ(bootlink::GetImageBodySize(link_, (images_.Path() / "gone.nbf").string(), notOpened), 0u);
  EXPECT_TRUE(notOpened);
  EXPECT_EQ(link_.Port(), nullptr);
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_EQ(host_.Total(), 0u);
}

TEST_F(FlashSequenceTest, UnsizableImageEndsThePageInsteadOfHanging) {
  const std::string tiny = (images_.Path() / "tiny.nbf").string();
  FILE* file = std::fopen(tiny.c_str(), "wb");
  std::fputs("Quor 5210-NBT-ENG-2.04-0-------", file);  // 31 bytes
  std::fclose(file);
  Connect(loader_->port);
  PrepareRecovery(tiny);
  // The header reads short, so the model check fails first; size the file directly.
  link_.Watch(nullptr);
  page_ = std::make_unique<HeadlessProgressPage>(link_, run_, host_);
  EXPECT_EQ(RunHeadlessProgressPage(*page_, link_, [this] {
              if (bootlink::RunFlashSequence(link_, common::TextOf(run_.image.imagePath)) !=
                  bootlink::FlashOutcome::kLoadsSent) {
                bootlink::EndWatchAfterFault(link_);
              }
            }),
            2);
  EXPECT_EQ(loader_->port->Written().find("lnb"), std::string::npos);
  EXPECT_TRUE(SettingsStored());
}

// The flash sequence sends the second load as soon as the download thread
// moves flashState to 2, not at its next look (stretched here to 1 s).
TEST_F(FlashSequenceTest, SecondLoadGoesOutAsSoonAsTheFirstDownloadEnds) {
  auto scripted = std::make_shared<LoaderPort>(nullptr);  // no loader: no download of its own
  Connect(scripted);
  common::CopyText(run_.image.imagePath, path_);
  std::thread sequence([this] { bootlink::RunFlashSequence(link_, path_); });
  const std::string first = "lnb c:\\test.nbf A0000000 e1234 00080000\r";
  const std::string second = "lnb c:\\test.nbf A0000000 80000 00040000\r";
  const bool firstSent = scripted->WaitWritten(first.size(), 1000000);
  common::SetTimeScale(100);
  const bool blocked = LinkWaitersBlocked(1);
  const auto start = std::chrono::steady_clock::now();
  link_.MoveFlashState(1, 2);  // as the download thread ends the first load
  common::SetTimeScale(0);       // the wait under way keeps its stretched period
  const bool secondSent = scripted->WaitWritten(first.size() + second.size(), 1000000);
  const auto took = std::chrono::steady_clock::now() - start;
  sequence.join();
  scripted->Close();  // wakes the reader from a wait stretched by the scale
  ASSERT_TRUE(firstSent);
  EXPECT_TRUE(blocked);
  EXPECT_TRUE(secondSent);
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_EQ(scripted->Written(), first + second);
  EXPECT_EQ(link_.flashState.load(), 3u);
}

struct Phase {
  const char* name;
  FaultKind kind;
  uint32_t records;
};

class FlashFailureTest : public FlashSequenceTest, public ::testing::WithParamInterface<Phase> {};

TEST_P(FlashFailureTest, FailsKeepsTheSettingsAndARecoveryFlashCompletes) {
  const Phase phase = GetParam();
  Connect(loader_->port);
  loader_->peer.Arm({phase.kind, phase.records, {}});
  EXPECT_EQ(Recover(), 2);
  EXPECT_LT(link_.flashState.load(), 3u);
  EXPECT_TRUE(SettingsStored());
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_FALSE(link_.ImageFileOpen());

  link_.Close();  // no thread of the failed flash still talks to the loader
  loader_->peer.Arm({FaultKind::Clear, 0, {}});
  loader_->peer.Restart();
  Reconnect();
  EXPECT_EQ(Recover(), 1);
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_FALSE(SettingsStored());
  ExpectFlashEqualsImage();
}

INSTANTIATE_TEST_SUITE_P(
    Phases, FlashFailureTest,
    ::testing::Values(Phase{"SilentAtSyncHeader", FaultKind::SilentAfterRecords, 0},
                      Phase{"DroppedAtSyncHeader", FaultKind::DropAfterRecords, 0},
                      Phase{"NoHeaderAck", FaultKind::NoHeaderAck, 0},
                      Phase{"SilentAfterFileHeader", FaultKind::NoRecordRequest, 0},
                      Phase{"SilentAfterFirstRecord", FaultKind::SilentAfterRecords, 1},
                      Phase{"DroppedAfterFirstRecord", FaultKind::DropAfterRecords, 1},
                      Phase{"SilentAfterLastRecord", FaultKind::SilentAfterRecords, 4},
                      Phase{"DroppedAfterLastRecord", FaultKind::DropAfterRecords, 4},
                      Phase{"SilentBetweenTheLoads", FaultKind::SilentAfterRecords, 5},
                      Phase{"DroppedBetweenTheLoads", FaultKind::DropAfterRecords, 5},
                      Phase{"SilentAtTheSecondLastRecord", FaultKind::SilentAfterRecords, 7},
                      Phase{"DroppedAtTheSecondLastRecord", FaultKind::DropAfterRecords, 7}),
    [](const ::testing::TestParamInfo<Phase>& info) { return std::string(info.param.name); });

// A write that fails while a record's pieces go out (the desktop's side of a
// pulled cable) ends the page at once.
TEST_F(FlashSequenceTest, PieceThatCannotBeSentEndsThePage) {
  Connect(loader_->port);
  const size_t lnb = std::string("lnb c:\\test.nbf A0000000 e1234 00080000\r").size();
  loader_->port->FailWritesAfter(lnb + 7 + 8 + 12 + 5 * 1024 + 100);
  EXPECT_EQ(Recover(), 2);
  EXPECT_EQ(link_.flashState.load(), 1u);
  EXPECT_TRUE(SettingsStored());
  EXPECT_EQ(host_.Total(), 0u);
}

}  // namespace
}  // namespace corvash::test
