#include "common/hive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <random>

#include "desktop/platform/instance_lock.h"

namespace corvash::platform {

using common::Hive;
using common::HiveValue;
using common::kRegBinary;
using common::kRegDword;
using common::kRegSz;

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER";
constexpr const char* kKey = "Software\\DadivUzizova";

class HiveFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("corvash-hive-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = dir_ / "user.reg";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void WriteRaw(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }

  std::filesystem::path dir_;
  std::filesystem::path path_;
};

TEST_F(HiveFileTest, ValuesKeepTheirExactBytesTypesAndOrder) {
  Hive hive(kRoot);
  hive.SetValue(kKey, HiveValue::Dword("Flash", 1));
  hive.SetValue(kKey, HiveValue::StringBytes("Lang", std::string("ENG\0\0\0\0\0\0\0", 10)));
  hive.SetValue(kKey, HiveValue::StringBytes("FlashFile", "/home/u/a \"b\"\\c.nbf"));
  HiveValue text;
  text.name = "Plain";
  text.data = {'x', 'y', 0};
  hive.SetValue(kKey, text);
  ASSERT_TRUE(hive.Save(path_));

  Hive back = Hive::Load(path_, kRoot);
  const auto* values = back.Values("software\\dadivuzizova");
  ASSERT_NE(nullptr, values);
  ASSERT_EQ(4u, values->size());
  EXPECT_EQ("Flash", (*values)[0].name);
  EXPECT_EQ(1u, (*values)[0].AsDword());
  EXPECT_EQ(kRegDword, (*values)[0].type);
  EXPECT_EQ(10u, (*values)[1].data.size());
  EXPECT_EQ(kRegSz, (*values)[1].type);
  EXPECT_EQ("/home/u/a \"b\"\\c.nbf", std::string((*values)[2].data.begin(), (*values)[2].data.end()));
  EXPECT_EQ(text.data, (*values)[3].data);
  EXPECT_TRUE(back.GetValue(kKey, "flashfile").has_value());
}

TEST_F(HiveFileTest, ReadsTheRegeditForms) {
  WriteRaw(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\r\n"
      "\"Flash\"=dword:00000101\r\n\"Lang\"=hex(1):45,4e,\\\r\n  47,00\r\n@=\"default\"\r\n"
      "\"Bin\"=hex:01,02\r\n");
  Hive hive = Hive::Load(path_, kRoot);
  EXPECT_EQ(0x101u, hive.GetValue(kKey, "Flash")->AsDword());
  EXPECT_EQ((std::vector<uint8_t>{'E', 'N', 'G', 0}), hive.GetValue(kKey, "Lang")->data);
  EXPECT_EQ("default", hive.GetValue(kKey, "@")->AsText());
  EXPECT_EQ(kRegBinary, hive.GetValue(kKey, "Bin")->type);
}

TEST_F(HiveFileTest, MalformedFilesReadAsAbsentWithoutACrash) {
  static constexpr char kOddBytes[] = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n\"Fl\0\xff\xfe\n";
  const std::string cases[] = {
      "",
      "REGEDIT",
      "not a hive\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n\"Flash\"=dword:1\n",
      std::string(kOddBytes, sizeof kOddBytes - 1),
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\DadivUzizova\n\"Flash\"=dword:00000001\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n\"Flash\"=dword:1234567890\n\"X\"=hex(zz):00\n"
      "\"Y\"=hex:0\n\"Z\"=\"unterminated\n\"W\"=hex(1):4",
  };
  for (const auto& bytes : cases) {
    WriteRaw(bytes);
    Hive hive = Hive::Load(path_, kRoot);
    EXPECT_FALSE(hive.GetValue(kKey, "Flash").has_value()) << bytes;
  }
}

TEST_F(HiveFileTest, RandomBytesNeverCrashTheReader) {
  std::mt19937 random(7);
  std::string base = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n\"Flash\"=hex(1):45,4e,47,00\n";
  for (int round = 0; round < 300; ++round) {
    std::string bytes = base;
    for (int i = 0; i < 8; ++i) bytes[random() % bytes.size()] = static_cast<char>(random());
    Hive::Parse(bytes, kRoot);
    Hive::Parse(bytes.substr(0, random() % bytes.size()), kRoot);
  }
}

TEST_F(HiveFileTest, LongValueIsReadWhole) {
  const std::string longText(300, 'p');
  WriteRaw("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n\"FlashFile\"=\"" + longText + "\"\n");
  Hive hive = Hive::Load(path_, kRoot);
  ASSERT_TRUE(hive.GetValue(kKey, "FlashFile").has_value());
  EXPECT_EQ(longText, hive.GetValue(kKey, "FlashFile")->AsText());
}

TEST_F(HiveFileTest, TruncatedFileKeepsWhatIsWhole) {
  Hive hive(kRoot);
  hive.SetValue(kKey, HiveValue::Dword("Flash", 1));
  hive.SetValue(kKey, HiveValue::StringBytes("FlashFile", "/a/b.nbf"));
  const std::string text = hive.Serialize();
  for (size_t cut = 0; cut < text.size(); ++cut) {
    Hive part = Hive::Parse(text.substr(0, cut), kRoot);
    if (auto flash = part.GetValue(kKey, "Flash")) {
      EXPECT_EQ(1u, flash->AsDword());
    }
  }
}

TEST_F(HiveFileTest, SaveInterruptedBeforeRenameLeavesTheOldHive) {
  Hive old(kRoot);
  old.SetValue(kKey, HiveValue::Dword("Flash", 1));
  ASSERT_TRUE(old.Save(path_));
  Hive changed(kRoot);
  changed.SetValue(kKey, HiveValue::Dword("Flash", 0));
  EXPECT_FALSE(changed.SaveWithHook(path_, [] { return false; }));
  EXPECT_EQ(1u, Hive::Load(path_, kRoot).GetValue(kKey, "Flash")->AsDword());
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_)) ++files;
  EXPECT_EQ(1u, files) << "the temporary file stays behind";
}

TEST_F(HiveFileTest, DeleteKeyTakesItsSubkeysAndNoSiblings) {
  Hive hive(kRoot);
  hive.SetValue("Software\\DadivUzizova", HiveValue::Dword("Flash", 1));
  hive.SetValue("Software\\DadivUzizova\\Sub", HiveValue::Dword("X", 1));
  hive.SetValue("Software\\DadivUzizovaOther", HiveValue::Dword("Y", 1));
  EXPECT_TRUE(hive.DeleteKey("SOFTWARE\\dadivuzizova"));
  EXPECT_FALSE(hive.HasKey("Software\\DadivUzizova\\Sub"));
  EXPECT_TRUE(hive.HasKey("Software\\DadivUzizovaOther"));
  EXPECT_FALSE(hive.DeleteKey("Software\\DadivUzizova"));
}

TEST_F(HiveFileTest, OtherRootsSectionsAreIgnored) {
  WriteRaw("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\DadivUzizova]\n\"Flash\"=dword:00000001\n");
  EXPECT_FALSE(Hive::Load(path_, kRoot).HasKey(kKey));
}

TEST_F(HiveFileTest, RewriteKeepsEveryLineItDoesNotOwnByteForByte) {
  const std::string foreign = "\xEF\xBB\xBFREGEDIT4\r\n; by hand\r\n[HKEY_LOCAL_MACHINE\\Software\\DadivUzizova]\n"
                              "\"Flash\"=dword:00000007\n[HKEY_CURRENT_USER\\Software\\DadivUzizova]\n";
  const std::string ownedLines = "\"Flash\"=dword:00000001\n  ; a note\n\"Broken\"=dword:12\n"
                                 "\"Lang\"=hex(1):45,4e,\\\n   47,00\n";
  WriteRaw(foreign + ownedLines + "[HKEY_CURRENT_USER\\Software\\Gone]\n\"X\"=dword:00000001\n\"Cut\"=dword:0");
  Hive hive = Hive::Load(path_, kRoot);
  for (const auto& [name, number] : {std::pair{"Flash", 0u}, {"Added", 2u}}) hive.SetValue(kKey, HiveValue::Dword(name, number));
  ASSERT_TRUE(hive.DeleteKey("Software\\Gone"));
  ASSERT_TRUE(hive.Save(path_));
  std::ifstream in(path_, std::ios::binary);
  const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string changed = "\"Flash\"=dword:00000000\n" + ownedLines.substr(23);
  EXPECT_EQ(after, foreign + changed + "\"Added\"=dword:00000002\n\"Cut\"=dword:0");
  EXPECT_EQ(after, Hive::Load(path_, kRoot).Serialize());  // read back, it writes the same
}

TEST_F(HiveFileTest, AHiveThatIsAFifoReadsAsAbsentWithoutWaiting) {
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  EXPECT_FALSE(Hive::Load(path_, kRoot).HasKey(kKey));
}

TEST_F(HiveFileTest, SecondInstanceLockIsRefusedUntilTheFirstEnds) {
  const auto lockPath = dir_ / "SETUP.lock";
  {
    InstanceLock first(lockPath);
    ASSERT_TRUE(first.TryAcquire());
    InstanceLock second(lockPath);
    EXPECT_FALSE(second.TryAcquire());
  }
  InstanceLock third(lockPath);
  EXPECT_TRUE(third.TryAcquire());
}

}  // namespace
}  // namespace corvash::platform
