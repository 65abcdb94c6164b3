#include "desktop/session/flash_settings.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "desktop/session/update_session.h"
#include "common/fixed_text.h"
#include "common/hive.h"
#include "desktop/platform/prefix.h"

namespace corvash::session {
namespace {

using common::CopyText;
using common::HiveValue;
using common::TextOf;

// A prefix of its own with a real user.reg.
class FlashSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    ::setenv("CORVASH_PREFIX", dir.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CORVASH_PREFIX");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void WriteUserHive(const std::string& body) {
    std::ofstream(platform::UserHivePath()) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n" << body;
  }
  const std::vector<HiveValue>& StoredValues() {
    hive = platform::LoadUserHive();
    const std::vector<HiveValue>* values = hive.Values(kSettingsKey);
    EXPECT_NE(values, nullptr);
    static const std::vector<HiveValue> none;
    return values != nullptr ? *values : none;
  }
  void FillDevice() {
    CopyText(handheld.deviceLanguage, "English");
    CopyText(handheld.deviceModel, "Quor 5210");
    CopyText(handheld.deviceLangCode, "ENG");
    CopyText(handheld.deviceVersion, "2.04");
    CopyText(image.imagePath, "/home/user/rom/QUORROM204.nbf");
  }
  void Write(uint32_t serialLink = 1) { WriteFlashSettings(handheld, image, serialLink); }
  // The pending flag alone.
  static uint32_t Pending() { return ReadFlashSettings().pending; }

  std::filesystem::path dir;
  HandheldIdentity handheld;
  ChosenImage image;
  common::Hive hive{"HKEY_CURRENT_USER"};
};

TEST_F(FlashSettingsTest, WritesTheSevenValuesWithTheirTypesSizesAndOrder) {
  FillDevice();
  Write(0);
  const std::vector<HiveValue>& values = StoredValues();
  ASSERT_EQ(values.size(), 7u);
  const char* names[] = {"Flash", "Language", "ModelID", "Lang", "Version", "USB", "FlashFile"};
  const uint32_t types[] = {common::kRegDword, common::kRegSz, common::kRegSz, common::kRegSz,
                            common::kRegSz,    common::kRegDword, common::kRegSz};
  const size_t sizes[] = {4, 20, 15, 10, 20, 4, std::strlen("/home/user/rom/QUORROM204.nbf")};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(values[i].name, names[i]);
    EXPECT_EQ(values[i].type, types[i]) << names[i];
    EXPECT_EQ(values[i].data.size(), sizes[i]) << names[i];
  }
  EXPECT_EQ(values[0].AsDword(), 1u);
  EXPECT_EQ(std::string(values[1].data.begin(), values[1].data.end()), std::string("English", 7) + std::string(13, '\0'));
  EXPECT_EQ(std::string(values[2].data.begin(), values[2].data.end()), std::string("Quor 5210") + std::string(6, '\0'));
  EXPECT_EQ(std::string(values[3].data.begin(), values[3].data.end()), std::string("ENG") + std::string(7, '\0'));
  EXPECT_EQ(values[5].AsDword(), 1u);  // attached over USB
  EXPECT_EQ(std::string(values[6].data.begin(), values[6].data.end()), "/home/user/rom/QUORROM204.nbf");
}

TEST_F(FlashSettingsTest, SerialLinkWritesUsbZeroAndLongTextsAreCutToTheirSize) {
  FillDevice();
  CopyText(handheld.deviceModel, "Quor 5210 Extra1");  // 15 of 16 fit the field, 15 go to the hive
  Write();
  const std::vector<HiveValue>& values = StoredValues();
  ASSERT_EQ(values.size(), 7u);
  EXPECT_EQ(std::string(values[2].data.begin(), values[2].data.end()), "Quor 5210 Extra");
  EXPECT_EQ(values[5].AsDword(), 0u);
}

TEST_F(FlashSettingsTest, WrittenRecordReadsBackAsAPendingFlash) {
  FillDevice();
  Write();
  EXPECT_EQ(ReadFlashSettings().pending, 1u);
  EXPECT_EQ(ReadFlashSettings().imagePath, "/home/user/rom/QUORROM204.nbf");
}

TEST_F(FlashSettingsTest, AbsentKeyReadsAsNoPendingFlashAndNoPath) {
  const FlashRecord record = ReadFlashSettings();
  EXPECT_EQ(record.pending, 0u);
  EXPECT_EQ(record.imagePath, std::nullopt);
}

TEST_F(FlashSettingsTest, FlashFileWithoutFlashSetsThePathButNoPendingFlash) {
  WriteUserHive("\"FlashFile\"=\"/data/rom.nbf\"\n");
  EXPECT_EQ(ReadFlashSettings().pending, 0u);
  EXPECT_EQ(ReadFlashSettings().imagePath, "/data/rom.nbf");
}

TEST_F(FlashSettingsTest, OnlyTheLowestByteOfFlashCounts) {
  WriteUserHive("\"Flash\"=dword:00000002\n");
  EXPECT_EQ(Pending(), 0u);
  WriteUserHive("\"Flash\"=dword:00000101\n");
  EXPECT_EQ(Pending(), 1u);
  WriteUserHive("\"Flash\"=dword:00000000\n");
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(FlashSettingsTest, ValueNamesMatchWithoutRegardToCase) {
  WriteUserHive("\"flash\"=dword:00000001\n\"flashfile\"=\"/data/lower.nbf\"\n");
  EXPECT_EQ(ReadFlashSettings().pending, 1u);
  EXPECT_EQ(ReadFlashSettings().imagePath, "/data/lower.nbf");
}

TEST_F(FlashSettingsTest, PathOf259CharactersIsReadBackWhole) {
  const std::string path = "/" + std::string(258, 'p');
  WriteUserHive("\"Flash\"=dword:00000001\n\"FlashFile\"=\"" + path + "\"\n");
  EXPECT_EQ(ReadFlashSettings().pending, 1u);
  EXPECT_EQ(ReadFlashSettings().imagePath, path);
}

TEST_F(FlashSettingsTest, PathTooLongForTheFieldIsSkippedNotCut) {
  WriteUserHive("\"Flash\"=dword:00000001\n\"FlashFile\"=\"/" + std::string(259, 'p') + "\"\n");
  EXPECT_EQ(ReadFlashSettings().pending, 1u);
  EXPECT_EQ(ReadFlashSettings().imagePath, std::nullopt);
}

TEST_F(FlashSettingsTest, OversizedValueIsSkippedAndTheWalkGoesOn) {
  WriteUserHive("\"Big\"=\"" + std::string(300, 'x') + "\"\n\"" + std::string(120, 'n') +
                "\"=dword:00000001\n\"Flash\"=dword:00000001\n");
  EXPECT_EQ(Pending(), 1u);
}

TEST_F(FlashSettingsTest, DeleteRemovesTheKeyAndKeepsOthers) {
  std::ofstream(platform::UserHivePath()) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=dword:00000007\n";
  FillDevice();
  Write();
  DeleteFlashSettings();
  hive = platform::LoadUserHive();
  EXPECT_FALSE(hive.HasKey(kSettingsKey));
  ASSERT_TRUE(hive.GetValue("Software\\Other", "Keep"));
  EXPECT_EQ(hive.GetValue("Software\\Other", "Keep")->AsDword(), 7u);
  EXPECT_EQ(Pending(), 0u);
}

TEST_F(FlashSettingsTest, DeleteWithoutAHiveCreatesNothing) {
  DeleteFlashSettings();
  EXPECT_FALSE(std::filesystem::exists(platform::UserHivePath()));
}

}  // namespace
}  // namespace corvash::session
