#include "desktop/image/image_header.h"

#include <sys/stat.h>

#include "desktop/image/image_checksum.h"
#include "desktop/image/image_checks.h"
#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {

using common::FormatImageHeader;

namespace {

using common::CopyText;
using common::TextOf;
using testing::HeaderBytes;
using testing::ImageFixture;
using testing::WriteFile;

class ReadImageHeaderTest : public ImageFixture {
 protected:
  std::string WriteHeader(const std::string& name, const std::vector<uint8_t>& bytes) {
    WriteFile(dir / name, bytes);
    return (dir / name).string();
  }
};

TEST_F(ReadImageHeaderTest, FillsTheImageFieldsAndLanguage) {
  const std::string path = MakeImage("rom.nbf", testing::PatternPayload(100), "Quor 5210", "WBT", "GER", "2.04");
  ASSERT_EQ(ReadImageHeader(path, image), ImageOutcome::kOk);
  const session::ChosenImage& s = image;
  EXPECT_EQ(TextOf(s.imageModel), "Quor 5210");
  EXPECT_EQ(TextOf(image.imageVariant), "WBT");
  EXPECT_EQ(TextOf(image.imageLangCode), "GER");
  EXPECT_EQ(TextOf(image.imageVersion), "2.04");
  EXPECT_EQ(TextOf(image.imageLanguage), "German");
}

TEST_F(ReadImageHeaderTest, BothPortugueseCodesShowPortuguese) {
  for (const char* code : {"POT", "PTB", "pot"}) {
    CopyText(image.imageLanguage, "English");
    ASSERT_EQ(ReadImageHeader(WriteHeader("p.nbf", HeaderBytes("Quor 5210", "NBT", code, "2.04", "0")), image), ImageOutcome::kOk);
    EXPECT_EQ(TextOf(image.imageLanguage), "Portuguese") << code;
  }
}

TEST_F(ReadImageHeaderTest, UnknownLanguageCodeLeavesTheLanguageAsItWas) {
  CopyText(image.imageLanguage, "French");
  ASSERT_EQ(ReadImageHeader(WriteHeader("x.nbf", HeaderBytes("Quor 5210", "NBT", "XYZ", "2.04", "0")), image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imageLangCode), "XYZ");
  EXPECT_EQ(TextOf(image.imageLanguage), "French");
}

TEST_F(ReadImageHeaderTest, HeaderAfterALongerOneKeepsNoOldCharacters) {
  ASSERT_EQ(ReadImageHeader(WriteHeader("a.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "beef")), image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imageChecksumText), "beef");
  ASSERT_EQ(ReadImageHeader(WriteHeader("b.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "7")), image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imageChecksumText), "7");
  EXPECT_EQ(image.imageChecksumText[1], '\0');
  EXPECT_EQ(image.imageChecksumText[3], '\0');
}

TEST_F(ReadImageHeaderTest, ChecksumFieldEndsAtItsFourthCharacter) {
  ASSERT_EQ(ReadImageHeader(WriteHeader("c.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "123456789")), image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imageChecksumText), "1234");
}

TEST_F(ReadImageHeaderTest, ShortFileReadsMissingBytesAsZeroAndFailsTheLaterChecks) {
  CopyText(image.imageChecksumText, "ffff");
  CopyText(image.imageVersion, "9.99");
  const std::string path = WriteHeader("short.nbf", {'Q', 'u', 'o', 'r', ' ', '5', '2', '1', '0', '-', 'N'});
  ASSERT_EQ(ReadImageHeader(path, image), ImageOutcome::kOk);
  EXPECT_EQ(TextOf(image.imageModel), "Quor 5210");
  EXPECT_EQ(TextOf(image.imageVariant), "N");
  EXPECT_EQ(TextOf(image.imageLangCode), "");
  EXPECT_EQ(TextOf(image.imageVersion), "");
  EXPECT_EQ(TextOf(image.imageChecksumText), "");

  CopyText(image.imagePath, path);
  CopyText(handheld.deviceVariant, "NBT");
  EXPECT_EQ(VerifyImageChecksum(image, wait), ImageOutcome::kChecksumMismatch);
  EXPECT_EQ(CheckVariant(image, handheld), ImageOutcome::kVariantMismatch);
  EXPECT_EQ(log, (std::vector<std::string>{"wait-show", "wait-close"}));
}

// A file that is not there reads as kNotFound (a recovery run may drop it
// silently); one that exists but cannot be opened as an image reads as
// kNotOpened. Neither touches the image fields.
TEST_F(ReadImageHeaderTest, UnreadableFilesNameWhyAndLeaveTheFields) {
  CopyText(image.imageModel, "Quor 5210");
  EXPECT_EQ(ReadImageHeader((dir / "gone.nbf").string(), image), ImageOutcome::kNotFound);
  ASSERT_EQ(::mkdir((dir / "folder.nbf").c_str(), 0755), 0);
  EXPECT_EQ(ReadImageHeader((dir / "folder.nbf").string(), image), ImageOutcome::kNotOpened);
  EXPECT_EQ(TextOf(image.imageModel), "Quor 5210");
}

TEST_F(ReadImageHeaderTest, PipeNamedAsTheImageIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo((dir / "pipe.nbf").c_str(), 0600), 0);
  EXPECT_EQ(ReadImageHeader((dir / "pipe.nbf").string(), image), ImageOutcome::kNotOpened);
}

TEST(FormatImageHeaderTest, LaysOutTheHeaderAsTheBackupWriterDoes) {
  auto header = FormatImageHeader("Quor 5210", "NBT", "ENG", "2.04", 0x0ab1);
  ASSERT_TRUE(header);
  EXPECT_EQ(std::string(header->data(), header->size()), "Quor 5210-NBT-ENG-2.04-ab1------");
  header = FormatImageHeader("Quor 5210", "NBT", "ENG", "2.04", 0);
  EXPECT_EQ(std::string(header->data(), header->size()), "Quor 5210-NBT-ENG-2.04-0--------");
  header = FormatImageHeader("Quor 5210", "NBT", "ENG", "2.04", 0xBEEF);
  EXPECT_EQ(std::string(header->data(), header->size()), "Quor 5210-NBT-ENG-2.04-beef-----");
}

}  // namespace
}  // namespace corvash::image
