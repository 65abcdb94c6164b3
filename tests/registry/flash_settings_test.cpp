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

using platform::CopyText;
using platform::HiveValue;
using platform::TextOf;

// A prefix of its own with a real user.reg.
class FlashSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    ::setenv("CORVASH_PREFIX", dir.c_str(), 1);
    Session().Reset();
  }
  void TearDown() override {
    Session().Reset();
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
    UpdateSession& s = Session();
    CopyText(s.handheld.deviceLanguage, "English");
    CopyText(s.handheld.deviceModel, "Quor 5210");
    CopyText(s.handheld.deviceLangCode, "ENG");
    CopyText(s.handheld.deviceVersion, "2.04");
    CopyText(s.image.imagePath, "/home/user/rom/QUORROM204.nbf");
  }

  std::filesystem::path dir;
  platform::Hive hive{"HKEY_CURRENT_USER"};
};

TEST_F(FlashSettingsTest, WritesTheSevenValuesWithTheirTypesSizesAndOrder) {
  FillDevice();
  Session().serialLink = 0;
  WriteFlashSettings();
  const std::vector<HiveValue>& values = StoredValues();
  ASSERT_EQ(values.size(), 7u);
  const char* names[] = {"Flash", "Language", "ModelID", "Lang", "Version", "USB", "FlashFile"};
  const uint32_t types[] = {platform::kRegDword, platform::kRegSz, platform::kRegSz, platform::kRegSz,
                            platform::kRegSz,    platform::kRegDword, platform::kRegSz};
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
  CopyText(Session().handheld.deviceModel, "Quor 5210 Extra1");  // 15 of 16 fit the field, 15 go to the hive
  WriteFlashSettings();
  const std::vector<HiveValue>& values = StoredValues();
  ASSERT_EQ(values.size(), 7u);
  EXPECT_EQ(std::string(values[2].data.begin(), values[2].data.end()), "Quor 5210 Extra");
  EXPECT_EQ(values[5].AsDword(), 0u);
}

TEST_F(FlashSettingsTest, WrittenRecordReadsBackAsAPendingFlash) {
  FillDevice();
  WriteFlashSettings();
  Session().Reset();
  EXPECT_EQ(ReadFlashSettings(), 1u);
  EXPECT_EQ(TextOf(Session().image.imagePath), "/home/user/rom/QUORROM204.nbf");
  EXPECT_EQ(Session().flow.recoveryMode.load(), 1u);
}

TEST_F(FlashSettingsTest, AbsentKeyReadsAsNoPendingFlashAndChangesNothing) {
  CopyText(Session().image.imagePath, "/keep/me.nbf");
  EXPECT_EQ(ReadFlashSettings(), 0u);
  EXPECT_EQ(TextOf(Session().image.imagePath), "/keep/me.nbf");
  EXPECT_EQ(Session().flow.recoveryMode.load(), 0u);
}

TEST_F(FlashSettingsTest, FlashFileWithoutFlashSetsThePathButNoPendingFlash) {
  WriteUserHive("\"FlashFile\"=\"/data/rom.nbf\"\n");
  EXPECT_EQ(ReadFlashSettings(), 0u);
  EXPECT_EQ(TextOf(Session().image.imagePath), "/data/rom.nbf");
  EXPECT_EQ(Session().flow.recoveryMode.load(), 1u);
}

TEST_F(FlashSettingsTest, OnlyTheLowestByteOfFlashCounts) {
  WriteUserHive("\"Flash\"=dword:00000002\n");
  EXPECT_EQ(ReadFlashSettings(), 0u);
  WriteUserHive("\"Flash\"=dword:00000101\n");
  EXPECT_EQ(ReadFlashSettings(), 1u);
  WriteUserHive("\"Flash\"=dword:00000000\n");
  EXPECT_EQ(ReadFlashSettings(), 0u);
}

TEST_F(FlashSettingsTest, ValueNamesMatchWithoutRegardToCase) {
  WriteUserHive("\"flash\"=dword:00000001\n\"flashfile\"=\"/data/lower.nbf\"\n");
  EXPECT_EQ(ReadFlashSettings(), 1u);
  EXPECT_EQ(TextOf(Session().image.imagePath), "/data/lower.nbf");
}

TEST_F(FlashSettingsTest, PathOf259CharactersIsReadBackWhole) {
  const std::string path = "/" + std::string(258, 'p');
  WriteUserHive("\"Flash\"=dword:00000001\n\"FlashFile\"=\"" + path + "\"\n");
  EXPECT_EQ(ReadFlashSettings(), 1u);
  EXPECT_EQ(TextOf(Session().image.imagePath), path);
  EXPECT_EQ(Session().image.imagePath[259], '\0');
}

TEST_F(FlashSettingsTest, PathTooLongForTheFieldIsSkippedNotCut) {
  CopyText(Session().image.imagePath, "/before.nbf");
  WriteUserHive("\"Flash\"=dword:00000001\n\"FlashFile\"=\"/" + std::string(259, 'p') + "\"\n");
  EXPECT_EQ(ReadFlashSettings(), 1u);
  EXPECT_EQ(TextOf(Session().image.imagePath), "/before.nbf");
  EXPECT_EQ(Session().flow.recoveryMode.load(), 0u);
}

TEST_F(FlashSettingsTest, OversizedValueIsSkippedAndTheWalkGoesOn) {
  WriteUserHive("\"Big\"=\"" + std::string(300, 'x') + "\"\n\"" + std::string(120, 'n') +
                "\"=dword:00000001\n\"Flash\"=dword:00000001\n");
  EXPECT_EQ(ReadFlashSettings(), 1u);
}

TEST_F(FlashSettingsTest, DeleteRemovesTheKeyAndKeepsOthers) {
  std::ofstream(platform::UserHivePath()) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Keep\"=dword:00000007\n";
  FillDevice();
  WriteFlashSettings();
  DeleteFlashSettings();
  hive = platform::LoadUserHive();
  EXPECT_FALSE(hive.HasKey(kSettingsKey));
  ASSERT_TRUE(hive.GetValue("Software\\Other", "Keep"));
  EXPECT_EQ(hive.GetValue("Software\\Other", "Keep")->AsDword(), 7u);
  EXPECT_EQ(ReadFlashSettings(), 0u);
}

TEST_F(FlashSettingsTest, DeleteWithoutAHiveCreatesNothing) {
  DeleteFlashSettings();
  EXPECT_FALSE(std::filesystem::exists(platform::UserHivePath()));
}

}  // namespace
}  // namespace corvash::session
