// The download's byte layout and arithmetic: little-endian fields, the
// loader's hexadecimal values, and how A, O and L become what is sent.
#include <gtest/gtest.h>

#include "desktop/bootlink/download_records.h"

namespace corvash::bootlink {
namespace {

TEST(DownloadRecords, FieldsAreLittleEndian) {
  uint8_t bytes[4] = {};
  PutLE32(0xA0080000u, bytes);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x00);
  EXPECT_EQ(bytes[2], 0x08);
  EXPECT_EQ(bytes[3], 0xA0);

  const RecordHeader record = MakeRecordHeader(0x12345678u);
  const RecordHeader expected = {0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x02, 0x00, 0, 0, 0, 0};
  EXPECT_EQ(record, expected);
  const FileHeader file = MakeFileHeader(0xA0040000u, 0x40000u);
  const FileHeader expectedFile = {0x00, 0x00, 0x04, 0xA0, 0x00, 0x00, 0x04, 0x00};
  EXPECT_EQ(file, expectedFile);
  EXPECT_EQ(MakeEndRecord(), RecordHeader{});
}

TEST(DownloadRecords, LoaderHexValues) {
  EXPECT_EQ(ParseLoaderHex("A0000000"), 0xA0000000u);
  EXPECT_EQ(ParseLoaderHex("80000\n"), 0x80000u);       // a kept LF ends the number
  EXPECT_EQ(ParseLoaderHex("  0x1f00000\r"), 0x1F00000u);
  EXPECT_EQ(ParseLoaderHex("00040000"), 0x40000u);
  EXPECT_EQ(ParseLoaderHex("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseLoaderHex(""), 0u);
  EXPECT_EQ(ParseLoaderHex("zz"), 0u);
  EXPECT_EQ(ParseLoaderHex("0x"), 0u);
  EXPECT_EQ(ParseLoaderHex("123456789"), 0xFFFFFFFFu);  // beyond 32 bits: saturates
}

TEST(DownloadRecords, PlanOfALoad) {
  // First load of a flash: A = A0000000, L = body size, O = 80000.
  const uint32_t body = 0x80000 + 3 * 0x20000 + 5;
  const auto first = PlanDownload(0xA0000000u, 0x80000, body);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->startAddress, 0xA0080000u);
  EXPECT_EQ(first->total, 3u * 0x20000 + 5);
  EXPECT_EQ(first->FileOffset(), 32u + 0x80000);
  EXPECT_EQ(first->RecordCount(), 4u);

  // Second load: L = 80000, O = 40000: two full records.
  const auto second = PlanDownload(0xA0000000u, 0x40000, 0x80000);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->startAddress, 0xA0040000u);
  EXPECT_EQ(second->total, 0x40000u);
  EXPECT_EQ(second->RecordCount(), 2u);
}

TEST(DownloadRecords, NothingToSendWhenLengthDoesNotPassOffset) {
  EXPECT_FALSE(PlanDownload(0xA0000000u, 0x80000, 0x80000));
  EXPECT_FALSE(PlanDownload(0xA0000000u, 0x80000, 0));
  EXPECT_TRUE(PlanDownload(0xA0000000u, 0x80000, 0x80001));
}

}  // namespace
}  // namespace corvash::bootlink
