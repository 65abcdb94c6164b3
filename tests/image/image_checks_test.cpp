#include "desktop/image/image_checks.h"

#include "common/fixed_text.h"
#include "tests/image/image_test_support.h"

namespace corvash::image {
namespace {

using common::CopyText;

class ImageChecksTest : public testing::ImageFixture {
 protected:
  void SetUp() override {
    ImageFixture::SetUp();
    CopyText(handheld.deviceModel, "Quor 5210");
    CopyText(handheld.deviceVariant, "NBT");
    CopyText(handheld.deviceLangCode, "ENG");
  }
  void UseImage(const std::string& model, const std::string& lang, const std::string& variant = "NBT") {
    CopyText(image.imagePath, MakeImage("stored.nbf", testing::PatternPayload(64), model, variant, lang));
  }
};

TEST_F(ImageChecksTest, VariantComparesWithoutRegardToCase) {
  UseImage("Quor 5210", "ENG", "nbt");
  ASSERT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kOk);
  EXPECT_EQ(CheckVariant(image, handheld), ImageOutcome::kOk);
  CopyText(handheld.deviceVariant, "WBT");
  EXPECT_EQ(CheckVariant(image, handheld), ImageOutcome::kVariantMismatch);
}

TEST_F(ImageChecksTest, StoredImageIsJudgedByItsOwnHeader) {
  UseImage("QUOR 5210", "eng");
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kOk);
  UseImage("Quor 5210", "GER");
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kLanguageMismatch);
  // A different model is named as such whatever the language.
  UseImage("Quor 5110", "GER");
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kModelMismatch);
  UseImage("Quor 5110", "ENG");
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kModelMismatch);
}

TEST_F(ImageChecksTest, NoPathOrNoFileIsNamed) {
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kNoStoredImage);
  CopyText(image.imagePath, (dir / "gone.nbf").string());
  EXPECT_EQ(CheckStoredImage(image, handheld), ImageOutcome::kNotFound);
}

}  // namespace
}  // namespace corvash::image
