// A whole recovery-style flash of k5210-emu's boot loader over a real pty:
// the port test finds it, the identity is read from its flash, page 102
// runs both loads, the closing picture is drawn on its screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/port_test.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/bootlink/version_box.h"
#include "emulator/emulated_handheld.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

using emulator::EmulatedHandheld;
constexpr uint32_t kBlock = 0x20000;
// Not a multiple of a block: 5 whole records and a short one in the first load.
constexpr size_t kPayloadBytes = 0x80000 + 5 * kBlock + 0x777;

class PtyFlashTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    const auto prefix = prefix_.Path();
    std::filesystem::create_directories(prefix / "dosdevices");
    for (const char* name : {"com1", "com2", "wceusbsh002"}) {
      std::filesystem::create_symlink(prefix / "absent" / name, prefix / "dosdevices" / name);
    }
    std::string error;
    ASSERT_TRUE(emulator::InitHandheld(State(), {}, &error)) << error;
    handheld_ = EmulatedHandheld::Open(State(), &error);
    ASSERT_TRUE(handheld_) << error;
    ASSERT_TRUE(handheld_->Control("bootloader", &error)) << error;
    ASSERT_TRUE(handheld_->Start(prefix, "wceusbsh001", &error)) << error;
    payload_ = MakePayload(kPayloadBytes, 21);
    path_ = WriteImage(images_.Path(), "update.nbf", payload_, "NBT", "ENG", "2.05");
  }
  void TearDown() override {
    FlashTest::TearDown();
    handheld_.reset();
  }
  std::filesystem::path State() const { return state_.Path() / "state"; }

  // What RecoverFromBootLoader does before page 102: find the loader,
  // read the identity in a command session, take the stored image.
  void FindAndIdentify() {
    ASSERT_EQ(bootlink::TestPorts(link_, nullptr), 1u);
    EXPECT_EQ(link_.serialLink.load(), 0u);
    bootlink::OpenCommandSession(link_);
    ASSERT_EQ(bootlink::ReadDeviceIdentity(link_, run_.handheld), bootlink::IdentityOutcome::kRead);
    bootlink::CloseCommandSession(link_);
    auto& session = run_;
    common::CopyText(session.image.imagePath, path_);
    common::CopyText(session.paths.programDir, images_.Path().string());
    session.flow.mainWindow.store(1);
  }
  std::vector<uint8_t> Flash(uint32_t address, size_t length) {
    std::vector<uint8_t> bytes(length);
    handheld_->Flash().Read(address, bytes);
    return bytes;
  }
  void ExpectFlashEqualsImage() {
    EXPECT_TRUE(Flash(0xA0080000, kPayloadBytes - 0x80000) ==
                std::vector<uint8_t>(payload_.begin() + 0x80000, payload_.end()));
    EXPECT_TRUE(Flash(0xA0040000, 0x40000) ==
                std::vector<uint8_t>(payload_.begin() + 0x40000, payload_.begin() + 0x80000));
  }

  TempFolder state_;
  std::unique_ptr<EmulatedHandheld> handheld_;
  std::vector<uint8_t> payload_;
  std::string path_;
};

TEST_F(PtyFlashTest, RecoveryFlashOfAnImageWithAShortLastBlock) {
  FindAndIdentify();
  EXPECT_EQ(common::TextOf(run_.handheld.deviceModel), "Quor 5210");
  EXPECT_EQ(common::TextOf(run_.handheld.deviceLangCode), "ENG");
  const auto before = Flash(0xA0000000, 0x40000);

  EXPECT_EQ(RunPage([this] { CheckAndFlash(); }), 1);
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_FALSE(SettingsStored());
  ExpectFlashEqualsImage();
  EXPECT_TRUE(Flash(0xA0000000, 0x40000) == before);  // the boot loader's own blocks stay
  EXPECT_EQ(handheld_->Stats().recordsReceived, 6u + 2u);
  EXPECT_EQ(handheld_->Stats().downloadsCompleted, 2u);
  EXPECT_EQ(host_.Total(), 0u);

  bootlink::DrawVersionBox(link_, common::TextOf(run_.image.imageVersion));
  const auto lines = handheld_->Screen().Lines();
  ASSERT_GT(lines.size(), 0x11u);
  EXPECT_EQ(lines[0xE], " *   2.05   *");
}

TEST_F(PtyFlashTest, PulledCableThenARecoveryFlashCompletes) {
  FindAndIdentify();
  std::string error;
  ASSERT_TRUE(handheld_->ArmFault({emulator::FaultKind::DropAfterRecords, 3, {}}, &error)) << error;
  EXPECT_EQ(RunPage([this] { CheckAndFlash(); }), 2);
  EXPECT_LT(link_.flashState.load(), 3u);
  EXPECT_TRUE(SettingsStored());

  // The user plugs the cable back in; the next run finds the loader again.
  link_.Close();
  ASSERT_TRUE(handheld_->Control("plug", &error)) << error;
  ASSERT_TRUE(handheld_->Control("bootloader", &error)) << error;
  link_.flashState.store(0);
  ASSERT_EQ(bootlink::TestPorts(link_, nullptr), 1u);
  run_.flow.mainWindow.store(1);
  EXPECT_EQ(RunPage([this] { CheckAndFlash(); }), 1);
  EXPECT_EQ(link_.flashState.load(), 3u);
  EXPECT_FALSE(SettingsStored());
  ExpectFlashEqualsImage();
}

}  // namespace
}  // namespace corvash::test
