// The state folder: the flash file, the identity record, the ROM and the
// configuration that `init` leaves.
#include "emulator/handheld_state.h"

#include <gtest/gtest.h>

#include <fstream>

#include "emulator/flash_image.h"
#include "emulator/identity_record.h"
#include "emulator/rom_image.h"
#include "tests/emulator/download_driver.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

std::vector<uint8_t> ReadAt(const FlashImage& flash, uint32_t address, size_t length) {
  std::vector<uint8_t> bytes(length);
  flash.Read(address, bytes);
  return bytes;
}

// ---- Flash ------------------------------------------------------------------------

TEST(FlashImageTest, ProgrammingOnlyClearsBitsAndStoringReplaces) {
  auto flash = FlashImage::InMemory(kFlashBase, 4096);
  const std::vector<uint8_t> first = {0xF0, 0x0F};
  const std::vector<uint8_t> second = {0x3C, 0xFF};
  flash->Program(kFlashBase + 10, first);
  flash->Program(kFlashBase + 10, second);
  EXPECT_EQ(ReadAt(*flash, kFlashBase + 10, 2), (std::vector<uint8_t>{0x30, 0x0F}));
  flash->Store(kFlashBase + 10, second);
  EXPECT_EQ(ReadAt(*flash, kFlashBase + 10, 2), second);
  flash->Erase(kFlashBase + 10, 1);
  EXPECT_EQ(ReadAt(*flash, kFlashBase + 10, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(FlashImageTest, AccessesAcrossTheEdgesAreClipped) {
  auto flash = FlashImage::InMemory(kFlashBase, 16);
  const std::vector<uint8_t> bytes(8, 0x00);
  EXPECT_EQ(flash->Store(kFlashBase + 12, bytes), 4u);
  EXPECT_EQ(flash->Store(kFlashBase - 4, bytes), 4u);
  EXPECT_EQ(flash->Store(0xFFFFFFFC, bytes), 0u);
  EXPECT_EQ(ReadAt(*flash, kFlashBase - 2, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(ReadAt(*flash, kFlashBase + 14, 4), (std::vector<uint8_t>{0x00, 0x00, 0xFF, 0xFF}));
}

TEST(FlashImageTest, FileKeepsItsBytesForTheNextOpener) {
  test::TempFolder folder;
  std::string error;
  const auto path = folder.Path() / "flash.bin";
  {
    auto flash = FlashImage::CreateFile(path, kFlashBase, 1 << 20, &error);
    ASSERT_TRUE(flash) << error;
    EXPECT_EQ(ReadAt(*flash, kFlashBase + 0xFFFF0, 4), std::vector<uint8_t>(4, 0xFF));
    flash->Store(kFlashBase + 0x1234, std::vector<uint8_t>{1, 2, 3});
  }
  auto again = FlashImage::OpenFile(path, kFlashBase, &error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(again->Size(), 1u << 20);
  EXPECT_EQ(ReadAt(*again, kFlashBase + 0x1234, 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(FlashImage::OpenFile(folder.Path() / "missing.bin", kFlashBase, &error));
}

// ---- Identity ----------------------------------------------------------------------

class IdentityRecordTest : public ::testing::Test {
 protected:
  IdentityRecordTest() : flash_(FlashImage::InMemory(kFlashBase, FlashFileLength(32))) {}
  std::unique_ptr<FlashImage> flash_;
};

TEST_F(IdentityRecordTest, RecordsGoWhereTheIdentitySearchLooks) {
  std::string error;
  ASSERT_TRUE(WriteIdentity(*flash_, HandheldIdentity{"WBT", "GER", "3.10"}, &error)) << error;
  const auto reserve = ReadAt(*flash_, 0xA0040100, 40);
  EXPECT_EQ(reserve, Utf16Text("Quor 5210WBTGER3.10"));
  const auto asset = ReadAt(*flash_, 0xA2FC0000, 34);
  EXPECT_EQ(std::vector<uint8_t>(asset.begin(), asset.begin() + 32), Utf16Text("Quor 5210WBTGER"));
  EXPECT_EQ(asset[32], 0xFF);
  // The other variant's asset area stays erased.
  EXPECT_EQ(ReadAt(*flash_, 0xA1FC0000, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST_F(IdentityRecordTest, ANewTextRetiresTheOldSlotAndTakesTheNext) {
  std::string error;
  ASSERT_TRUE(WriteIdentity(*flash_, HandheldIdentity{"NBT", "ENG", "2.04"}, &error));
  ASSERT_TRUE(WriteIdentity(*flash_, HandheldIdentity{"NBT", "ENG", "2.04"}, &error));  // same: kept
  EXPECT_EQ(ReadAt(*flash_, 0xA0040134, 4), std::vector<uint8_t>(4, 0xFF));
  ASSERT_TRUE(WriteIdentity(*flash_, HandheldIdentity{"NBT", "ENG", "2.05"}, &error));
  EXPECT_EQ(ReadAt(*flash_, 0xA0040100, 8), std::vector<uint8_t>(8, 0x00));
  EXPECT_EQ(ReadAt(*flash_, 0xA0040134, 40), Utf16Text("Quor 5210NBTENG2.05"));
}

TEST_F(IdentityRecordTest, AFullAreaRefusesAnotherTextInPlace) {
  for (uint32_t slot = kNbtAssetArea.first; slot <= kNbtAssetArea.lastStart; slot += kSlotLength) {
    flash_->Program(slot, std::vector<uint8_t>(8, 0));
  }
  EXPECT_FALSE(RecordInArea(*flash_, kNbtAssetArea, AssetRecord(HandheldIdentity{})));
  std::string error;
  EXPECT_FALSE(WriteIdentity(*flash_, HandheldIdentity{}, &error));
  EXPECT_NE(error.find("asset"), std::string::npos);
}

TEST_F(IdentityRecordTest, AFullReserveAreaStartsAfresh) {
  for (uint32_t slot = kReserveArea.first; slot <= kReserveArea.lastStart; slot += kSlotLength) {
    flash_->Program(slot, std::vector<uint8_t>(8, 0));
  }
  std::string error;
  ASSERT_TRUE(WriteIdentity(*flash_, HandheldIdentity{}, &error)) << error;
  EXPECT_EQ(ReadAt(*flash_, 0xA0040100, 40), Utf16Text("Quor 5210NBTENG2.04"));
  EXPECT_EQ(ReadAt(*flash_, 0xA0040134, 4), std::vector<uint8_t>(4, 0xFF));
}

TEST(IdentityFieldsTest, InitRefusesFieldsTheSearchCouldNotMatch) {
  std::string error;
  EXPECT_TRUE(ValidIdentity(HandheldIdentity{"NBT", "XYZ", "9.99"}, &error));
  EXPECT_FALSE(ValidIdentity(HandheldIdentity{"ABC", "ENG", "2.04"}, &error));
  EXPECT_FALSE(ValidIdentity(HandheldIdentity{"NBT", "ENGL", "2.04"}, &error));
  EXPECT_FALSE(ValidIdentity(HandheldIdentity{"NBT", "ENG", "2.4"}, &error));
  EXPECT_FALSE(ValidIdentity(HandheldIdentity{"NBT", "E G", "2.04"}, &error));
}

// ---- init ------------------------------------------------------------------------------

class InitTest : public ::testing::Test {
 protected:
  std::filesystem::path State() const { return folder_.Path() / "state"; }
  // `header` is padded with '-' to its 32 bytes.
  std::filesystem::path WriteImage(std::string header, const std::vector<uint8_t>& payload) {
    header.resize(32, '-');
    const auto path = folder_.Path() / "image.nbf";
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
    return path;
  }
  test::TempFolder folder_;
};

TEST_F(InitTest, RomPayloadLiesAtTheFlashBaseAndHeaderFieldsBecomeTheIdentity) {
  const auto payload = test::Payload(0x50000);
  InitOptions options;
  options.rom = WriteImage("Quor 5210-WBT-FRE-1.23-abcd-----", payload);
  options.version = "1.30";
  std::string error;
  ASSERT_TRUE(InitHandheld(State(), options, &error)) << error;

  HandheldConfig config;
  ASSERT_TRUE(StateFolder(State()).Load(&config, &error)) << error;
  EXPECT_EQ(config.identity.variant, "WBT");
  EXPECT_EQ(config.identity.language, "FRE");
  EXPECT_EQ(config.identity.version, "1.30");
  EXPECT_EQ(config.mode, HandheldMode::System);
  EXPECT_EQ(config.power, PowerSource::Mains);

  auto flash = FlashImage::OpenFile(StateFolder(State()).FlashPath(), kFlashBase, &error);
  ASSERT_TRUE(flash);
  EXPECT_EQ(flash->Size(), 48u << 20);
  const auto start = ReadAt(*flash, kFlashBase, 0x40100);
  EXPECT_TRUE(std::equal(start.begin(), start.end(), payload.begin()));
  const auto after = ReadAt(*flash, kFlashBase + 0x41000, 0xF000);
  EXPECT_TRUE(std::equal(after.begin(), after.end(), payload.begin() + 0x41000));
  EXPECT_EQ(ReadAt(*flash, kFlashBase + 0x50000, 4), std::vector<uint8_t>(4, 0xFF));
  // The payload had no erased slot in the reserve area: it starts afresh with the record.
  EXPECT_EQ(ReadAt(*flash, 0xA0040100, 40), Utf16Text("Quor 5210WBTFRE1.30"));
  EXPECT_EQ(ReadAt(*flash, 0xA2FC0000, 32), Utf16Text("Quor 5210WBTFRE"));
}

TEST_F(InitTest, GeneratedRomCarriesTheRecordAndNeverReadsErased) {
  InitOptions options;
  std::string error;
  ASSERT_TRUE(InitHandheld(State(), options, &error)) << error;
  auto flash = FlashImage::OpenFile(StateFolder(State()).FlashPath(), kFlashBase, &error);
  ASSERT_TRUE(flash);
  EXPECT_EQ(ReadAt(*flash, 0xA0040100, 40), Utf16Text("Quor 5210NBTENG2.04"));
  EXPECT_EQ(ReadAt(*flash, 0xA0040134, 4), std::vector<uint8_t>(4, 0xFF));  // one slot used
  EXPECT_EQ(ReadAt(*flash, 0xA0000000, 1)[0], GeneratedByte(0));
  EXPECT_EQ(ReadAt(*flash, 0xA1EFFFFF, 1)[0], GeneratedByte(0x1EFFFFF));
  EXPECT_EQ(ReadAt(*flash, 0xA1F00000, 1)[0], 0xFF);  // past the payload
  // Two blocks of the pattern never read alike, so a misplaced record shows.
  EXPECT_NE(ReadAt(*flash, 0xA0080000, 64), ReadAt(*flash, 0xA00A0000, 64));
}

TEST_F(InitTest, UnusableInputsAreRefusedWithAReason) {
  std::string error;
  InitOptions options;
  options.rom = WriteImage("", {});
  std::ofstream(options.rom, std::ios::trunc) << "Quor 5210-NBT";
  EXPECT_FALSE(InitHandheld(State(), options, &error));
  EXPECT_NE(error.find("shorter than its 32-byte header"), std::string::npos);

  options.rom = WriteImage("Quor 5210-NBT-ENG-2.04-0", test::Payload((1 << 20) + 1));
  options.flashMb = 1;
  EXPECT_FALSE(InitHandheld(State(), options, &error));
  EXPECT_NE(error.find("does not fit"), std::string::npos);

  options = InitOptions{};
  options.flashMb = 0;
  EXPECT_FALSE(InitHandheld(State(), options, &error));
}

TEST_F(InitTest, ADamagedConfigurationMakesTheStateUnusable) {
  std::filesystem::create_directories(State());
  std::string error;
  HandheldConfig config;
  EXPECT_FALSE(StateFolder(State()).Load(&config, &error));
  std::ofstream(StateFolder(State()).ConfigPath()) << "variant=NBT\nlanguage=ENG\nversion=2.04\nflash_mb=x\n";
  EXPECT_FALSE(StateFolder(State()).Load(&config, &error));
  EXPECT_NE(error.find("damaged"), std::string::npos);
}

TEST_F(InitTest, ConfigurationRoundTrips) {
  std::filesystem::create_directories(State());
  HandheldConfig config;
  config.identity = {"WBT", "JPN", "1.00"};
  config.flashMb = 64;
  config.mode = HandheldMode::BootLoader;
  config.power = PowerSource::Battery;
  config.cablePlugged = false;
  std::string error;
  ASSERT_TRUE(StateFolder(State()).Save(config, &error));
  HandheldConfig loaded;
  ASSERT_TRUE(StateFolder(State()).Load(&loaded, &error)) << error;
  EXPECT_EQ(loaded.identity.variant, "WBT");
  EXPECT_EQ(loaded.flashMb, 64u);
  EXPECT_EQ(loaded.mode, HandheldMode::BootLoader);
  EXPECT_EQ(loaded.power, PowerSource::Battery);
  EXPECT_FALSE(loaded.cablePlugged);
  EXPECT_EQ(FlashFileLength(64), 64u << 20);
}

}  // namespace
}  // namespace corvash::emulator
