#include "desktop/handheld/windows_family.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "desktop/platform/prefix.h"

namespace corvash::device {

using handheld::QueryWindowsFamily;
using handheld::kFamilyProcessStatus;
using handheld::kFamilySnapshot;
using handheld::kFamilyWindowTitles;

namespace {

class WindowsFamilyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-family-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    ::setenv("CORVASH_PREFIX", dir.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CORVASH_PREFIX");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  void WriteVersion(const std::string& value) {
    std::ofstream(platform::SystemHivePath())
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
        << "\"CurrentVersion\"=" << value << "\n";
  }
  std::filesystem::path dir;
};

TEST_F(WindowsFamilyTest, VersionTextDecidesTheFamily) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"\"5.1\"", kFamilyProcessStatus}, {"\"5.0\"", kFamilyProcessStatus}, {"\"4.0\"", kFamilyWindowTitles},
      {"\"3.51\"", kFamilyWindowTitles}, {"\"6.1\"", kFamilySnapshot},       {"\"10.0\"", kFamilySnapshot},
      // "4." is looked for before "5."
      {"\"5.4.\"", kFamilyWindowTitles},
  };
  for (const auto& [text, family] : cases) {
    WriteVersion(text);
    EXPECT_EQ(QueryWindowsFamily(), family) << text;
  }
}

TEST_F(WindowsFamilyTest, MissingHiveKeyOrValueGivesZero) {
  EXPECT_EQ(QueryWindowsFamily(), kFamilySnapshot);
  std::ofstream(platform::SystemHivePath())
      << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"Other\"=\"5.1\"\n";
  EXPECT_EQ(QueryWindowsFamily(), kFamilySnapshot);
}

TEST_F(WindowsFamilyTest, ValueLongerThanItsBufferCannotBeRead) {
  WriteVersion("\"5.1" + std::string(120, ' ') + "\"");
  EXPECT_EQ(QueryWindowsFamily(), kFamilySnapshot);
}

}  // namespace
}  // namespace corvash::device
