#include "desktop/image/image_checks.h"

#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using platform::CopyText;

class ImageChecksTest : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    session::UpdateSession& s = session::Session();
    CopyText(s.handheld.deviceModel, "Quor 5210");
    CopyText(s.handheld.deviceVariant, "NBT");
    CopyText(s.handheld.deviceLangCode, "ENG");
  }
  void UseImage(const std::string& model, const std::string& lang, const std::string& variant = "NBT") {
    CopyText(session::Session().image.imagePath, MakeImage("stored.nbf", testing::PatternPayload(64), model, variant, lang));
  }
  bool AnyMismatchFlag() const {
    const session::UpdateSession& s = session::Session();
    return s.flow.modelMismatch.load() || s.flow.languageMismatch.load() || s.flow.versionMismatch.load();
  }
};

TEST_F(ImageChecksTest, VariantComparesWithoutRegardToCase) {
  UseImage("Quor 5210", "ENG", "nbt");
  ASSERT_EQ(CheckStoredImage(), 1u);
  EXPECT_EQ(CheckVariant(), 1u);
  CopyText(session::Session().handheld.deviceVariant, "WBT");
  EXPECT_EQ(CheckVariant(), 0u);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(ImageChecksTest, StoredImageThatFitsPasses) {
  UseImage("QUOR 5210", "eng");
  EXPECT_EQ(CheckStoredImage(), 1u);
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(MainWindowOpen());
}

TEST_F(ImageChecksTest, EmptyImagePathFailsWithoutAScreen) {
  EXPECT_EQ(CheckStoredImage(), 0u);
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(MainWindowOpen());
}

TEST_F(ImageChecksTest, MisfitInRecoveryIsDroppedSilently) {
  session::Session().flow.recoveryMode = 1;
  UseImage("Quor 5210", "GER");
  EXPECT_EQ(CheckStoredImage(), 0u);
  EXPECT_TRUE(host.log.empty());
  EXPECT_FALSE(AnyMismatchFlag());
  EXPECT_TRUE(MainWindowOpen());
}

TEST_F(ImageChecksTest, LanguageMisfitMarksOnlyTheLanguageRow) {
  UseImage("Quor 5210", "GER");
  EXPECT_EQ(CheckStoredImage(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 123"}));
  EXPECT_EQ(session::Session().flow.languageMismatch.load(), 1u);
  EXPECT_EQ(session::Session().flow.modelMismatch.load(), 0u);
  EXPECT_FALSE(MainWindowOpen());
}

TEST_F(ImageChecksTest, ModelMisfitMarksTheModelRow) {
  UseImage("Quor 5110", "GER");
  EXPECT_EQ(CheckStoredImage(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"page 123"}));
  EXPECT_EQ(session::Session().flow.modelMismatch.load(), 1u);
  EXPECT_EQ(session::Session().flow.languageMismatch.load(), 0u);
  EXPECT_FALSE(MainWindowOpen());
}

TEST_F(ImageChecksTest, VanishedStoredImageInRecoveryEndsWithoutAScreen) {
  session::Session().flow.recoveryMode = 1;
  CopyText(session::Session().image.imagePath, (dir / "gone.nbf").string());
  EXPECT_EQ(CheckStoredImage(), 0u);
  EXPECT_TRUE(host.log.empty());
  EXPECT_FALSE(MainWindowOpen());
}

}  // namespace
}  // namespace corvash::image
