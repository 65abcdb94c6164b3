// Runs that find the device in its boot loader: finishing an interrupted
// flash with the stored image or the image beside the program.
#include <fstream>

#include "tests/driver/driver_fixture.h"

namespace corvash::driver::doubles {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecoveryTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    api.linked = false;
    ops.bootLink.loaderAnswers = true;
    ops.settings.flash = 1;
    ops.settings.storedPath = kStoredImage;
    ops.images.files[kStoredImage] = FakeImage{.version = "2.03"};
    host.onOpen = [this](int page) {
      if (page == kPageConfirm) backAllowedAtConfirm = run.flow.backAllowed.load();
      if (page == kPageProgress) {
        recoveryFlashAtProgress = run.flow.recoveryFlash.load();
        imageAtProgress = std::string(common::TextOf(run.image.imagePath));
      }
    };
  }

  // The pages of a recovery run that completes; the device then shows the
  // version of the image flashed.
  void ExpectCompletedRecovery(const char* versionDrawn = "2.05") {
    EXPECT_THAT(host.log, ElementsAre(kWaitBoxShown, kWaitBoxClosed, kPageConfirm, kPageProgress,
                                      kPageResetInstructions, kPageFinish));
    EXPECT_EQ(backAllowedAtConfirm, 0u);
    EXPECT_EQ(recoveryFlashAtProgress, 1u);
    EXPECT_EQ(run.flow.recoveryFlash.load(), 0u);
    EXPECT_THAT(ops.bootLink.versionsDrawn, ElementsAre(versionDrawn));
    EXPECT_EQ(ops.bootLink.opens, ops.bootLink.closes);
    ExpectRunClosed();
  }

  uint32_t backAllowedAtConfirm = 99;
  uint32_t recoveryFlashAtProgress = 99;
  std::string imageAtProgress;
};

TEST_F(RecoveryTest, StoredImageIsFlashedWithoutIntroductionPages) {
  std::ofstream(MarkerFile()) << "x";
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery("2.03");
  EXPECT_EQ(imageAtProgress, kStoredImage);
  EXPECT_EQ(ops.bootLink.identityReads, 1);
  EXPECT_EQ(ops.settings.deletes, 0);  // the record stays until the flash completes
  EXPECT_EQ(ops.device.identifications, 0);
  EXPECT_FALSE(std::filesystem::exists(MarkerFile()));
}

TEST_F(RecoveryTest, StoredImageOfAnotherLanguageFallsBackWithoutAScreen) {
  ops.images.files[kStoredImage].langCode = "GER";
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery();
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
  EXPECT_EQ(ops.bootLink.identityReads, 2);
  EXPECT_EQ(run.flow.recoveryMode.load(), 0u);
}

TEST_F(RecoveryTest, StoredImageOfAnotherVariantFallsBackWithoutAScreen) {
  ops.images.files[kStoredImage].variant = "WBT";
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery();
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
  EXPECT_EQ(run.flow.versionMismatch.load(), 0u);
}

TEST_F(RecoveryTest, StoredImageWrongInModelAndVariantFallsBackWithoutAScreen) {
  ops.images.files[kStoredImage].model = "Quor 4100";
  ops.images.files[kStoredImage].variant = "WBT";
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery();
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
}

TEST_F(RecoveryTest, VanishedStoredImageFallsBackWithoutAScreen) {
  ops.images.files.erase(kStoredImage);
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery();
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
  EXPECT_THAT(ops.images.headersRead, ElementsAre(kStoredImage, kImageBesideProgram, kImageBesideProgram));
  EXPECT_EQ(ops.bootLink.identityReads, 1);
}

TEST_F(RecoveryTest, StoredPathWithoutPendingFlagStillDropsAVanishedImage) {
  // "FlashFile" without "Flash": the introduction pages run, the device is
  // then found in its boot loader and the missing stored file is skipped.
  ops.settings.flash = 0;
  ops.images.files.erase(kStoredImage);
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageConfirm, kPageProgress,
                                        kPageResetInstructions, kPageFinish));
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
  EXPECT_THAT(host.Screens(), IsEmpty());
}

TEST_F(RecoveryTest, PendingFlashWithoutStoredPathUsesTheImageBesideTheProgram) {
  ops.settings.storedPath.reset();
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  ExpectCompletedRecovery();
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
}

TEST_F(RecoveryTest, UnreadableStoredImageEndsOnItsScreen) {
  ops.images.files[kStoredImage].readable = false;

  RunWizard();

  EXPECT_THAT(host.Screens(), ElementsAre(kScreenImageNotOpened));
  EXPECT_EQ(ops.bootLink.identityReads, 0);
  EXPECT_FALSE(host.WaitBoxOpen());
  ExpectRunClosed();
}

TEST_F(RecoveryTest, ImageBesideTheProgramOfAnotherVariantEndsOnIncompatibleImage) {
  ops.images.files.erase(kStoredImage);
  ops.images.files[kImageBesideProgram].variant = "WBT";

  RunWizard();

  // The wait box goes before the screen shows.
  EXPECT_THAT(host.log, ElementsAre(kWaitBoxShown, kWaitBoxClosed, kScreenIncompatibleImage));
  EXPECT_EQ(run.flow.versionMismatch.load(), 1u);
  ExpectRunClosed();
}

TEST_F(RecoveryTest, ImageBesideTheProgramOfAnotherLanguageEndsOnIncompatibleImage) {
  ops.images.files[kStoredImage].langCode = "GER";
  ops.images.files[kImageBesideProgram].langCode = "FRE";

  RunWizard();

  EXPECT_THAT(host.Screens(), ElementsAre(kScreenIncompatibleImage));
  EXPECT_EQ(run.flow.languageMismatch.load(), 1u);
  EXPECT_FALSE(host.WaitBoxOpen());
  ExpectRunClosed();
}

TEST_F(RecoveryTest, NoImageBesideTheProgramEndsOnImageNotFound) {
  ops.images.files.erase(kStoredImage);
  ops.images.besideProgram.clear();

  RunWizard();

  EXPECT_THAT(host.Screens(), ElementsAre(kScreenImageNotFound));
  EXPECT_FALSE(host.WaitBoxOpen());
  ExpectRunClosed();
}

TEST_F(RecoveryTest, FailedIdentityReadEndsOnItsScreenWithTheSessionClosed) {
  ops.bootLink.loaderIdentity.reset();

  RunWizard();

  EXPECT_THAT(host.Screens(), ElementsAre(kScreenIdentityReadError));
  EXPECT_EQ(ops.bootLink.opens, 1);
  EXPECT_EQ(ops.bootLink.closes, 1);
  EXPECT_FALSE(host.WaitBoxOpen());
  ExpectRunClosed();
}


TEST_F(RecoveryTest, FailedRecoveryFlashEndsOnUpdateError) {
  host.Then(kPageProgress, Progress(ops.bootLink, 2, 1));
  RunWizard();
  EXPECT_THAT(host.Pages(), ElementsAre(kPageConfirm, kPageProgress, kScreenUpdateError));
  EXPECT_EQ(run.flow.recoveryFlash.load(), 0u);
  ExpectRunClosed();
}


TEST_F(RecoveryTest, IncompleteFlashGoesOnAtTheOptionPage) {
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 2));
  host.Then(kPageOptions, Cancel(kPageOptions));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageConfirm, kPageProgress, kPageOptions));
  EXPECT_THAT(host.Screens(), IsEmpty());
}

TEST_F(RecoveryTest, BootLoaderFoundAfterTheConnectionPageResumesFromThere) {
  ops.settings.flash = 0;
  ops.settings.storedPath.reset();
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageConfirm, kPageProgress,
                                        kPageResetInstructions, kPageFinish));
  EXPECT_EQ(imageAtProgress, kImageBesideProgram);
  EXPECT_EQ(ops.bootLink.portTests, 1);
}

}  // namespace
}  // namespace corvash::driver::doubles
