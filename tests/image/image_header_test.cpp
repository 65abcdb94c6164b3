#include "desktop/image/image_header.h"

#include <sys/stat.h>

#include "desktop/session/worker_page.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_checks.h"
#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using platform::CopyText;
using platform::TextOf;
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
  ASSERT_EQ(ReadImageHeader(path), 1u);
  const session::UpdateSession& s = session::Session();
  EXPECT_EQ(TextOf(s.image.imageModel), "Quor 5210");
  EXPECT_EQ(TextOf(s.image.imageVariant), "WBT");
  EXPECT_EQ(TextOf(s.image.imageLangCode), "GER");
  EXPECT_EQ(TextOf(s.image.imageVersion), "2.04");
  EXPECT_EQ(TextOf(s.image.imageLanguage), "German");
  EXPECT_TRUE(host.log.empty());
}

TEST_F(ReadImageHeaderTest, BothPortugueseCodesShowPortuguese) {
  for (const char* code : {"POT", "PTB", "pot"}) {
    CopyText(session::Session().image.imageLanguage, "English");
    ASSERT_EQ(ReadImageHeader(WriteHeader("p.nbf", HeaderBytes("Quor 5210", "NBT", code, "2.04", "0"))), 1u);
    EXPECT_EQ(TextOf(session::Session().image.imageLanguage), "Portuguese") << code;
  }
}

TEST_F(ReadImageHeaderTest, UnknownLanguageCodeLeavesTheLanguageAsItWas) {
  CopyText(session::Session().image.imageLanguage, "French");
  ASSERT_EQ(ReadImageHeader(WriteHeader("x.nbf", HeaderBytes("Quor 5210", "NBT", "XYZ", "2.04", "0"))), 1u);
  EXPECT_EQ(TextOf(session::Session().image.imageLangCode), "XYZ");
  EXPECT_EQ(TextOf(session::Session().image.imageLanguage), "French");
}

TEST_F(ReadImageHeaderTest, HeaderAfterALongerOneKeepsNoOldCharacters) {
  ASSERT_EQ(ReadImageHeader(WriteHeader("a.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "beef"))), 1u);
  EXPECT_EQ(TextOf(session::Session().image.imageChecksumText), "beef");
  ASSERT_EQ(ReadImageHeader(WriteHeader("b.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "7"))), 1u);
  EXPECT_EQ(TextOf(session::Session().image.imageChecksumText), "7");
  EXPECT_EQ(session::Session().image.imageChecksumText[1], '\0');
  EXPECT_EQ(session::Session().image.imageChecksumText[3], '\0');
}

TEST_F(ReadImageHeaderTest, ChecksumFieldEndsAtItsFourthCharacter) {
  ASSERT_EQ(ReadImageHeader(WriteHeader("c.nbf", HeaderBytes("Quor 5210", "NBT", "ENG", "2.04", "123456789"))), 1u);
  EXPECT_EQ(TextOf(session::Session().image.imageChecksumText), "1234");
}

TEST_F(ReadImageHeaderTest, ShortFileReadsMissingBytesAsZeroAndFailsTheLaterChecks) {
  session::UpdateSession& s = session::Session();
  CopyText(s.image.imageChecksumText, "ffff");
  CopyText(s.image.imageVersion, "9.99");
  const std::string path = WriteHeader("short.nbf", {'Q', 'u', 'o', 'r', ' ', '5', '2', '1', '0', '-', 'N'});
  ASSERT_EQ(ReadImageHeader(path), 1u);
  EXPECT_EQ(TextOf(s.image.imageModel), "Quor 5210");
  EXPECT_EQ(TextOf(s.image.imageVariant), "N");
  EXPECT_EQ(TextOf(s.image.imageLangCode), "");
  EXPECT_EQ(TextOf(s.image.imageVersion), "");
  EXPECT_EQ(TextOf(s.image.imageChecksumText), "");

  CopyText(s.image.imagePath, path);
  CopyText(s.handheld.deviceVariant, "NBT");
  EXPECT_EQ(VerifyImageChecksum(), 0u);
  EXPECT_EQ(CheckVariant(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"wait-show", "wait-close"}));
  EXPECT_TRUE(MainWindowOpen());
}

class RecordingProgressPage : public pages::WorkerPage {
 public:
  void SetBarRange(uint32_t, uint32_t) override {}
  void SetBarPosition(uint32_t) override {}
  void SetFigure(uint32_t) override {}
  void Hide() override { ++hidden; }
  void End(int) override {}
  void ArmTimer2(uint32_t) override {}
  void KillTimer2() override {}
  int hidden = 0;
};

TEST_F(ReadImageHeaderTest, MissingFileShowsError104AndHidesTheProgressPage) {
  RecordingProgressPage page;
  session::Session().progressPage = &page;
  EXPECT_EQ(ReadImageHeader((dir / "gone.nbf").string()), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 141"}));
  EXPECT_EQ(page.hidden, 1);
  EXPECT_FALSE(MainWindowOpen());
}

TEST_F(ReadImageHeaderTest, VanishedStoredImageInRecoveryIsSilent) {
  session::Session().flow.recoveryMode = 1;
  EXPECT_EQ(ReadImageHeader((dir / "gone.nbf").string()), 0u);
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(MainWindowOpen());
}

TEST_F(ReadImageHeaderTest, ExistingButUnopenableFileInRecoveryStillShows104) {
  session::Session().flow.recoveryMode = 1;
  ASSERT_EQ(::mkdir((dir / "folder.nbf").c_str(), 0755), 0);
  EXPECT_EQ(ReadImageHeader((dir / "folder.nbf").string()), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 141"}));
  EXPECT_FALSE(MainWindowOpen());
}

TEST_F(ReadImageHeaderTest, PipeNamedAsTheImageIsRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo((dir / "pipe.nbf").c_str(), 0600), 0);
  EXPECT_EQ(ReadImageHeader((dir / "pipe.nbf").string()), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 141"}));
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
