// The image file as the download reads it: from an offset, to the end, and
// the error of a failed call as the system gave it.
#include "common/image_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

TEST(ImageFile, ReadsFromTheOffsetItSeeksTo) {
  TempFolder folder;
  const auto payload = MakePayload(0x3000, 5);
  const std::string path = WriteImage(folder.Path(), "rom.nbf", payload);
  common::ImageFile file;
  ASSERT_TRUE(file.Open(path));
  ASSERT_TRUE(file.Seek(32 + 0x2000));
  std::vector<uint8_t> got(0x2000, 0);
  EXPECT_EQ(file.Read(got.data(), got.size()), 0x1000);  // fewer only at the end
  got.resize(0x1000);
  EXPECT_EQ(got, std::vector<uint8_t>(payload.begin() + 0x2000, payload.end()));
  ASSERT_TRUE(file.Seek(0x100000));  // past the end: nothing to read there
  EXPECT_EQ(file.Read(got.data(), got.size()), 0);
  EXPECT_EQ(file.error(), 0);
}

TEST(ImageFile, FailedSeekKeepsItsError) {
  common::ImageFile file;  // not open
  EXPECT_FALSE(file.Seek(0));
  EXPECT_EQ(file.error(), EBADF);
  TempFolder folder;
  ASSERT_TRUE(file.Open(WriteImage(folder.Path(), "rom.nbf", MakePayload(16, 1))));
  EXPECT_FALSE(file.Seek(UINT64_MAX));
  EXPECT_EQ(file.error(), EOVERFLOW);
}

}  // namespace
}  // namespace corvash::test
