// The download engine against the emulated loader (in memory): records,
// the short last block, the loader's length and offset values, progress,
// and the engine's own failures.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/download_context.h"
#include "desktop/bootlink/download_records.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/session/page_ids.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {


constexpr uint32_t kBlock = 0x20000;
constexpr size_t kFlashBytes = 0x200000;
constexpr uint32_t kWait = 200000;  // system ms: a bound, never reached when all is well

std::string Bytes(const std::vector<uint8_t>& v, size_t from, size_t length) {
  return std::string(reinterpret_cast<const char*>(v.data()) + from, length);
}
std::string Le32(uint32_t value) {
  uint8_t bytes[4];
  bootlink::PutLE32(value, bytes);
  return std::string(reinterpret_cast<const char*>(bytes), 4);
}
std::string RecordOf(uint32_t address) { return Le32(address) + Le32(kBlock) + Le32(0); }

class DownloadTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    loader_ = std::make_unique<MemoryLoader>(kFlashBytes);
    Connect(loader_->port);
  }
  std::string UseImage(const std::vector<uint8_t>& payload) {
    const std::string path = WriteImage(images_.Path(), "rom.nbf", payload);
    link_.SetDownloadImage(path);  // as the flash sequence names it before its first load
    return path;
  }
  // Sends a load as the flash sequence does and waits for its download to end.
  void Load(std::string_view length, std::string_view offset) {
    const std::string lnb = "lnb c:\\test.nbf A0000000 " + std::string(length) + " " + std::string(offset) + "\r";
    lnbStart_ = loader_->port->WrittenCount() + lnb.size();
    ASSERT_EQ(link_.SendString(lnb), 1u);
    ASSERT_TRUE(WaitFor([this] { return link_.Download().DownloadThreadId() != std::thread::id(); }, kWait));
    link_.Download().JoinThread();
  }
  // What the desktop wrote after the load command.
  std::string Download() const { return loader_->port->Written().substr(lnbStart_); }
  void PublishPage() {
    page_ = std::make_unique<HeadlessProgressPage>(link_, run_, host_);
    link_.Watch(page_.get());
  }

  std::unique_ptr<MemoryLoader> loader_;
  size_t lnbStart_ = 0;  // where the download's bytes begin
};

TEST_F(DownloadTest, WholeBlocksThenTheEndRecord) {
  const auto payload = MakePayload(0x80000 + 3 * kBlock, 1);
  UseImage(payload);
  PublishPage();
  link_.flashState.store(1);
  Load("e0000", "00080000");

  std::string expected = "B000FF\n" + Le32(0xA0080000) + Le32(3 * kBlock);
  for (uint32_t i = 0; i < 3; ++i) {
    expected += RecordOf(0xA0080000 + i * kBlock) + Bytes(payload, 0x80000 + i * kBlock, kBlock);
  }
  expected += std::string(12, '\0');
  EXPECT_TRUE(Download() == expected);
  EXPECT_EQ(loader_->peer.Stats().recordsReceived, 3u);
  EXPECT_EQ(loader_->peer.Stats().downloadsCompleted, 1u);
  EXPECT_EQ(loader_->Read(0xA0080000, 3 * kBlock), std::vector<uint8_t>(payload.begin() + 0x80000, payload.end()));
  EXPECT_EQ(link_.flashState.load(), 2u);  // the second load may follow
  EXPECT_EQ(page_->FigureHistory(), (std::vector<uint32_t>{0, 33, 66}));
  EXPECT_FALSE(page_->Snapshot().ended);
}

TEST_F(DownloadTest, ShortLastBlockNamesAWholeBlock) {
  const auto payload = MakePayload(0x80000 + 3 * kBlock + 5, 2);
  UseImage(payload);
  link_.flashState.store(1);
  Load("e0005", "00080000");

  const std::string download = Download();
  const size_t lastRecord = 7 + 8 + 3 * (12 + kBlock);
  ASSERT_EQ(download.size(), lastRecord + 12 + kBlock + 12);
  EXPECT_EQ(download.substr(11, 4), Le32(3 * kBlock + 5));  // total in the file header
  EXPECT_EQ(download.substr(lastRecord, 12), RecordOf(0xA00E0000));
  EXPECT_EQ(download.substr(lastRecord + 12, 5), Bytes(payload, 0xE0000, 5));
  EXPECT_EQ(download.substr(lastRecord + 12 + 5, kBlock - 5), std::string(kBlock - 5, '\xFF'));
  EXPECT_EQ(loader_->peer.Stats().recordsReceived, 4u);
  EXPECT_EQ(loader_->Read(0xA00E0000, 6), (std::vector<uint8_t>{payload[0xE0000], payload[0xE0001], payload[0xE0002],
                                                               payload[0xE0003], payload[0xE0004], 0xFF}));
  EXPECT_EQ(link_.flashState.load(), 2u);
}

TEST_F(DownloadTest, WholeImageLengthSendsExactlyThePayload) {
  const auto payload = MakePayload(0x80000 + 2 * kBlock, 3);
  UseImage(payload);
  link_.flashState.store(1);
  Load("FFFFFFFF", "00080000");

  const std::string download = Download();
  EXPECT_EQ(download.substr(11, 4), Le32(2 * kBlock));
  EXPECT_EQ(loader_->peer.Stats().recordsReceived, 2u);
  EXPECT_EQ(loader_->peer.Stats().downloadsCompleted, 1u);
  EXPECT_EQ(loader_->Read(0xA0080000, 2 * kBlock), std::vector<uint8_t>(payload.begin() + 0x80000, payload.end()));
  EXPECT_EQ(link_.flashState.load(), 2u);
}

TEST_F(DownloadTest, LengthNotPastOffsetSendsNothingAfterTheSyncHeader) {
  UseImage(MakePayload(0x80000 + kBlock, 4));
  link_.flashState.store(1);
  for (std::string_view length : {"80000", "0"}) {
    Load(length, "80000");
    EXPECT_EQ(Download(), "B000FF\n");
    EXPECT_STREQ(link_.Download().statusText, "\nImgSize <= ImgBypassOffset\n");
    EXPECT_EQ(link_.Download().DownloadActive.load(), 0u);
    loader_->peer.Restart();  // the loader still waits for a file header
  }
  EXPECT_EQ(loader_->peer.Stats().recordsReceived, 0u);
  EXPECT_EQ(link_.flashState.load(), 1u);
}

TEST_F(DownloadTest, SecondLoadShowsHundredFromTheStartAndEndsThePage) {
  const auto payload = MakePayload(0x80000 + kBlock, 5);
  UseImage(payload);
  session::WriteFlashSettings(run_.handheld, run_.image, run_.serialLink.load());
  ASSERT_TRUE(SettingsStored());
  PublishPage();
  link_.flashState.store(3);
  Load("80000", "00040000");

  EXPECT_EQ(loader_->Read(0xA0040000, 0x40000), std::vector<uint8_t>(payload.begin() + 0x40000, payload.begin() + 0x80000));
  const auto figures = page_->FigureHistory();
  ASSERT_FALSE(figures.empty());
  for (uint32_t figure : figures) EXPECT_EQ(figure, 100u);
  const auto view = page_->Snapshot();
  EXPECT_EQ(view.barPosition, 100u);
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(view.result, 1);
  EXPECT_TRUE(view.hidden);
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_FALSE(SettingsStored());
}

TEST_F(DownloadTest, ImageThatCannotBeOpenedEndsTheRun) {
  link_.SetDownloadImage((images_.Path() / "missing.nbf").string());
  PublishPage();  // the page reports the fault
  link_.flashState.store(1);
  Load("e0000", "00080000");
  EXPECT_EQ(host_.Count(session::kScreenImageNotOpened), 1);
  EXPECT_EQ(host_.Total(), 1u);
  EXPECT_EQ(run_.flow.mainWindow.load(), 0u);
  EXPECT_EQ(link_.Port(), nullptr);
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_EQ(Download(), "");
  EXPECT_EQ(link_.flashState.load(), 1u);
}

TEST_F(DownloadTest, ImageShrunkUnderTheDownloadStopsIt) {
  const auto payload = MakePayload(0x80000 + 2 * kBlock, 6);
  const std::string path = UseImage(payload);
  link_.flashState.store(1);
  // The loader answers the load but never takes the sync header, so the
  // file can be cut while the engine waits.
  loader_->peer.Arm({emulator::FaultKind::NoHeaderAck, 0, {}});
  ASSERT_EQ(link_.SendString("lnb c:\\test.nbf A0000000 c0000 00080000\r"), 1u);
  const size_t lnb = 40;
  ASSERT_TRUE(loader_->port->WaitWritten(lnb + 7, kWait));
  std::filesystem::resize_file(path, 32 + 0x80000 + 0x100);
  loader_->port->Push("\x01");
  ASSERT_TRUE(WaitFor([this] { return link_.Download().DownloadThreadId() != std::thread::id(); }, kWait));
  link_.Download().JoinThread();
  // The file header went out; no record did.
  EXPECT_EQ(loader_->port->WrittenCount(), lnb + 7 + 8);
  EXPECT_EQ(link_.flashState.load(), 1u);
  EXPECT_EQ(link_.Download().DownloadActive.load(), 0u);
}

// A scripted loader: the test paces the download byte by byte.
class PacedDownloadTest : public FlashTest {};

TEST_F(PacedDownloadTest, TwoRequestsWithNoRecordBetweenCountAsOne) {
  auto port = std::make_shared<LoaderPort>(nullptr);
  Connect(port);
  const auto payload = MakePayload(0x80000 + 2 * kBlock, 7);
  link_.SetDownloadImage(WriteImage(images_.Path(), "rom.nbf", payload));
  link_.flashState.store(1);
  port->Push(":F=c:\\test.nbf\r\n:A=A0000000\r\n:L=C0000\r\n:O=80000\r\nstart NB image download\r\n");
  ASSERT_TRUE(port->WaitWritten(7, kWait));           // the sync header
  port->Push("\x02\x02");                              // two requests while nobody waits
  ASSERT_TRUE(WaitFor([this] { return link_.Download().NotifyRecordEvent.IsSignalled(); }, kWait));
  port->Push("\x01");
  const size_t oneRecord = 7 + 8 + 12 + kBlock;
  ASSERT_TRUE(port->WaitWritten(oneRecord, kWait));
  EXPECT_FALSE(port->WaitWritten(oneRecord + 1, 3000));  // no second record unasked
  port->Push("\x02");
  ASSERT_TRUE(port->WaitWritten(oneRecord + 12 + kBlock, kWait));
  EXPECT_FALSE(port->WaitWritten(oneRecord + 12 + kBlock + 1, 3000));
  port->Push("\x02");
  ASSERT_TRUE(port->WaitWritten(oneRecord + 12 + kBlock + 12, kWait));
  link_.Download().JoinThread();
  EXPECT_EQ(link_.flashState.load(), 2u);
}

}  // namespace
}  // namespace corvash::test
