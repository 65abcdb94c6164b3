// The closing picture: the exact "shmsg" lines on the wire.
#include <gtest/gtest.h>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/version_box.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

constexpr std::string_view kBoxFor204 =
    "shmsg b 1 \"************\"\r"
    "shmsg c 1 \"*\"\r"
    "shmsg c c \"*\"\r"
    "shmsg d 1 \"*\"\r"
    "shmsg d c \"*\"\r"
    "shmsg e 1 \"*\"\r"
    "shmsg e 5 \"2\"\r"
    "shmsg e 6 \".\"\r"
    "shmsg e 7 \"0\"\r"
    "shmsg e 8 \"4\"\r"
    "shmsg e c \"*\"\r"
    "shmsg f 1 \"*\"\r"
    "shmsg f c \"*\"\r"
    "shmsg 10 1 \"*\"\r"
    "shmsg 10 c \"*\"\r"
    "shmsg 11 1 \"************\"\r";

using VersionBoxTest = FlashTest;

TEST_F(VersionBoxTest, SixteenLinesByteForByte) {
  auto port = std::make_shared<LoaderPort>(nullptr);
  Connect(port);
  common::CopyText(run_.image.imageVersion, "2.04");
  bootlink::DrawVersionBox(link_, common::TextOf(run_.image.imageVersion));
  EXPECT_EQ(port->Written(), kBoxFor204);
}

TEST_F(VersionBoxTest, OpenSessionGetsTheCrBurstFirstAndIsClosed) {
  auto port = std::make_shared<LoaderPort>(nullptr);
  Connect(port);
  common::CopyText(run_.image.imageVersion, "2.04");
  link_.commandSessionOpen.store(1);
  bootlink::DrawVersionBox(link_, common::TextOf(run_.image.imageVersion));
  EXPECT_EQ(port->Written(), std::string("\r\r\r\r\r\r\r\r") + std::string(kBoxFor204));
  EXPECT_EQ(link_.commandSessionOpen.load(), 0u);
}

TEST_F(VersionBoxTest, DrawnOnTheEmulatedScreen) {
  MemoryLoader loader(0x100000);
  Connect(loader.port);
  common::CopyText(run_.image.imageVersion, "2.04");
  bootlink::DrawVersionBox(link_, common::TextOf(run_.image.imageVersion));
  const auto lines = loader.screen.Lines();
  ASSERT_GT(lines.size(), 0x11u);
  EXPECT_EQ(lines[0xB], " ************");
  EXPECT_EQ(lines[0xE], " *   2.04   *");
  EXPECT_EQ(lines[0x11], " ************");
}

TEST(VersionBoxLines, ShortVersionKeepsEveryLineWhole) {
  const auto lines = bootlink::VersionBoxLines("2.0");
  EXPECT_EQ(lines[9], "shmsg e 8 \" \"\r");
  const auto quoted = bootlink::VersionBoxLines("2\"04");
  EXPECT_EQ(quoted[7], "shmsg e 6 \" \"\r");
}

}  // namespace
}  // namespace corvash::test
