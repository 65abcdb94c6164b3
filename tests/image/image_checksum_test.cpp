#include "desktop/image/image_checksum.h"

#include "desktop/image/image_header.h"
#include "common/byte_sum.h"
#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {

using common::AddImageBlockToSum;
using common::AddToSum;
using common::kChecksumBlockSize;
using common::ParseChecksumText;

namespace {

using common::CopyText;
using testing::HeaderBytes;
using testing::ImageFixture;
using testing::PatternPayload;
using testing::ReadFile;
using testing::SteerSum;
using testing::WriteFile;

class VerifyImageChecksumTest : public ImageFixture {
 protected:
  // Reads the header of `path` as the driver does, then verifies.
  ImageOutcome Verify(const std::string& path) {
    CopyText(image.imagePath, path);
    if (const ImageOutcome read = ReadImageHeader(path, image); read != ImageOutcome::kOk) return read;
    return VerifyImageChecksum(image, wait);
  }

  // An image whose sum is `target`, with `checksumField` written into it.
  std::string ImageWithSum(const std::string& name, uint16_t target, const std::string& checksumField) {
    const std::vector<uint8_t> header = HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", checksumField);
    std::vector<uint8_t> payload = PatternPayload(5000);
    SteerSum(header, payload, target);
    std::vector<uint8_t> file = header;
    file.insert(file.end(), payload.begin(), payload.end());
    EXPECT_EQ(testing::PlainImageSum(file), target);
    WriteFile(dir / name, file);
    return (dir / name).string();
  }
};

TEST_F(VerifyImageChecksumTest, ValidImageVerifiesBehindTheWaitBox) {
  EXPECT_EQ(Verify(MakeImage("rom.nbf", PatternPayload(100000))), ImageOutcome::kOk);
  EXPECT_EQ(log, (std::vector<std::string>{"wait-show", "wait-close"}));
}

TEST_F(VerifyImageChecksumTest, FieldAbDashAnd00ABReadAlike) {
  EXPECT_EQ(Verify(ImageWithSum("ab.nbf", 0x00AB, "ab")), ImageOutcome::kOk);
  EXPECT_EQ(Verify(ImageWithSum("00ab.nbf", 0x00AB, "00AB")), ImageOutcome::kOk);
  EXPECT_EQ(Verify(ImageWithSum("other.nbf", 0x00AC, "00AB")), ImageOutcome::kChecksumMismatch);
}

TEST_F(VerifyImageChecksumTest, SumZeroWrittenAsZeroVerifies) {
  EXPECT_EQ(Verify(ImageWithSum("zero.nbf", 0, "0")), ImageOutcome::kOk);
}

TEST_F(VerifyImageChecksumTest, UpperAndLowerCaseDigitsVerifyAlike) {
  EXPECT_EQ(Verify(ImageWithSum("upper.nbf", 0xBEEF, "BEEF")), ImageOutcome::kOk);
  EXPECT_EQ(Verify(ImageWithSum("lower.nbf", 0xBEEF, "beef")), ImageOutcome::kOk);
  EXPECT_EQ(Verify(ImageWithSum("mixed.nbf", 0xBEEF, "bEeF")), ImageOutcome::kOk);
}

TEST_F(VerifyImageChecksumTest, ChangingTheSeparatorOrPaddingKeepsTheFileValid) {
  const std::string path = MakeImage("rom.nbf", PatternPayload(4000));
  std::vector<uint8_t> file = ReadFile(path);
  file[22] = 'x';
  for (size_t i = 28; i < 32; ++i) file[i] = '#';
  WriteFile(path, file);
  EXPECT_EQ(Verify(path), ImageOutcome::kOk);
}

TEST_F(VerifyImageChecksumTest, ChangingAPayloadOrSummedHeaderByteOfAManyBlockImageBreaksIt) {
  const std::string path = MakeImage("rom.nbf", PatternPayload(kChecksumBlockSize + 100));
  ASSERT_EQ(Verify(path), ImageOutcome::kOk);
  const std::vector<uint8_t> original = ReadFile(path);
  for (size_t index : {size_t{0}, size_t{21}, size_t{32}, kChecksumBlockSize - 1, kChecksumBlockSize,
                       original.size() - 1}) {
    std::vector<uint8_t> file = original;
    file[index] = static_cast<uint8_t>(file[index] ^ 0x01);
    WriteFile(path, file);
    EXPECT_EQ(Verify(path), ImageOutcome::kChecksumMismatch) << "byte " << index;
  }
}

TEST_F(VerifyImageChecksumTest, ChecksumFieldThatIsNoNumberFails) {
  EXPECT_EQ(Verify(ImageWithSum("bad.nbf", 0x12, "x12")), ImageOutcome::kChecksumMismatch);
  EXPECT_EQ(Verify(ImageWithSum("empty.nbf", 0, "")), ImageOutcome::kChecksumMismatch);
}

TEST_F(VerifyImageChecksumTest, UnopenableImageIsNamedWithoutTheWaitBox) {
  CopyText(image.imagePath, (dir / "gone.nbf").string());
  CopyText(image.imageChecksumText, "0");
  EXPECT_EQ(VerifyImageChecksum(image, wait), ImageOutcome::kNotFound);
  EXPECT_TRUE(log.empty());
}

TEST(ChecksumArithmeticTest, ParsesHexadecimalFieldsKeepingLow16Bits) {
  EXPECT_EQ(ParseChecksumText("ab"), 0xAB);
  EXPECT_EQ(ParseChecksumText("00AB"), 0xAB);
  EXPECT_EQ(ParseChecksumText("0"), 0);
  EXPECT_EQ(ParseChecksumText("FfFf"), 0xFFFF);
  EXPECT_EQ(ParseChecksumText("12345"), 0x2345);
  EXPECT_FALSE(ParseChecksumText(""));
  EXPECT_FALSE(ParseChecksumText("1g"));
  EXPECT_FALSE(ParseChecksumText(" 1"));
}

TEST(ChecksumArithmeticTest, BlockSumMatchesAPlainSumWhereverTheFileIsSplit) {
  const std::vector<uint8_t> file = PatternPayload(3000, 99);
  const uint16_t plain = testing::PlainImageSum(file);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{21}, size_t{22}, size_t{23}, size_t{31}, size_t{32},
                     size_t{33}, size_t{1000}, file.size()}) {
    const std::span<const uint8_t> all(file);
    uint32_t sum = AddImageBlockToSum(0, 0, all.subspan(0, cut));
    sum = AddImageBlockToSum(sum, cut, all.subspan(cut));
    EXPECT_EQ(static_cast<uint16_t>(sum & 0xFFFF), plain) << "cut at " << cut;
  }
}

TEST(ChecksumArithmeticTest, VectorSumsEqualAPlainByteSum) {
  // Runs of 0xFF make every lane wrap; odd lengths and offsets exercise the
  // tail and unaligned loads.
  const std::vector<uint8_t> ones(300007, 0xFF);
  const std::vector<uint8_t> mixed = PatternPayload(300007, 3);
  for (const std::vector<uint8_t>* bytes : {&ones, &mixed}) {
    for (size_t offset : {size_t{0}, size_t{1}, size_t{7}}) {
      for (size_t size : {size_t{0}, size_t{31}, size_t{32}, size_t{33}, size_t{1025}, size_t{300000}}) {
        uint32_t plain = 5;
        for (size_t i = 0; i < size; ++i) plain += (*bytes)[offset + i];
        const std::span<const uint8_t> span(bytes->data() + offset, size);
        EXPECT_EQ(AddToSum(5, span) & 0xFFFF, plain & 0xFFFF) << "size " << size << " offset " << offset;
        EXPECT_EQ(common::SumBytesPortable(5, span) & 0xFFFF, plain & 0xFFFF) << "size " << size;
      }
    }
  }
}

}  // namespace
}  // namespace corvash::image
