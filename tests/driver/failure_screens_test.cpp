// Every fault of a run ends it with exactly one screen and the run closed.
#include "common/clock.h"
#include "tests/driver/driver_fixture.h"

namespace corvash::driver::doubles {
namespace {

using ::testing::ElementsAre;

class FailureScreenTest : public DriverTest {
 protected:
  void ExpectOnlyScreen(int screen) {
    EXPECT_THAT(host.Screens(), ElementsAre(screen));
    EXPECT_EQ(host.Pages().back(), screen) << "no page may follow the screen";
    EXPECT_FALSE(host.WaitBoxOpen());
    ExpectRunClosed();
  }

  void ChooseRestore(FakeImage image) {
    ops.images.files[kBackupImage] = image;
    ops.images.chooserAnswers = {kBackupImage};
    host.Then(kPageOptions, Choose(kOptionRestore));
  }
};

TEST_F(FailureScreenTest, NeitherLinkedNorInBootLoaderEndsOnConnectionErrorAfterTheLinkWait) {
  api.linked = false;
  uint64_t connectPageAt = 0;
  uint64_t screenAt = 0;
  host.onOpen = [&](int page) {
    if (page == kPageConnect) connectPageAt = common::TickMs();
    if (page == kScreenConnectionError) screenAt = common::TickMs();
  };

  RunWizard();

  ExpectOnlyScreen(kScreenConnectionError);
  EXPECT_GE(screenAt - connectPageAt, 2990u);  // the 3000 ms link wait, in system time
  EXPECT_EQ(ops.bootLink.portTests, 1);
  EXPECT_EQ(ops.device.identifications, 0);
  EXPECT_EQ(api.uninits.load(), 1);
}

TEST_F(FailureScreenTest, PowerStatusUnreadableBeforeTheFlashEndsOnConnectionError) {
  ScriptUpdateAfterOptions();
  ops.device.powerAnswers = {kPowerUnknown};
  RunWizard();
  ExpectOnlyScreen(kScreenConnectionError);
  EXPECT_EQ(api.uninits.load(), 1);
  EXPECT_EQ(ops.device.stops, 0);
}

TEST_F(FailureScreenTest, PowerStatusUnreadableBeforeABackupEndsOnConnectionError) {
  host.Then(kPageOptions, Choose(kOptionBackup));
  ops.device.powerAnswers = {kPowerUnknown};
  RunWizard();
  ExpectOnlyScreen(kScreenConnectionError);
  EXPECT_EQ(api.uninits.load(), 1);
}

TEST_F(FailureScreenTest, IdentificationThatLearnsNothingEndsOnInvalidModel) {
  ops.device.identity.reset();
  RunWizard();
  ExpectOnlyScreen(kScreenInvalidModel);
}

TEST_F(FailureScreenTest, OtherModelEndsOnInvalidModel) {
  ops.device.identity->model = "Quor 4100";
  RunWizard();
  ExpectOnlyScreen(kScreenInvalidModel);
}

TEST_F(FailureScreenTest, InvalidModelNamedByIdentificationIsNotShownTwice) {
  ops.device.identity->model = "Quor 4100";
  ops.device.namesInvalidModel = true;
  RunWizard();
  ExpectOnlyScreen(kScreenInvalidModel);
}


TEST_F(FailureScreenTest, NoImageBesideTheProgramEndsOnImageNotFound) {
  ops.images.besideProgram.clear();
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenImageNotFound);
}

TEST_F(FailureScreenTest, RestoreImageThatCannotBeOpenedEndsOnItsScreen) {
  ChooseRestore(FakeImage{.readable = false});
  RunWizard();
  ExpectOnlyScreen(kScreenImageNotOpened);
}

TEST_F(FailureScreenTest, RestoreImageWhoseSizeCannotBeReadEndsTheRemoteApiAndShowsItsScreen) {
  ChooseRestore(FakeImage{.sizeKnown = false});
  RunWizard();
  ExpectOnlyScreen(kScreenImageNotOpened);
  EXPECT_EQ(api.uninits.load(), 1);
}

TEST_F(FailureScreenTest, ChecksumMismatchEndsOnChecksumError) {
  ops.images.files[kImageBesideProgram].checksumOk = false;
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenChecksumError);
}

TEST_F(FailureScreenTest, VariantMismatchMarksTheVersionRow) {
  ops.images.files[kImageBesideProgram].variant = "WBT";
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenIncompatibleImage);
  EXPECT_EQ(run.flow.versionMismatch.load(), 1u);
  EXPECT_EQ(run.flow.modelMismatch.load(), 0u);
  EXPECT_EQ(run.flow.languageMismatch.load(), 0u);
}

TEST_F(FailureScreenTest, ModelMismatchMarksTheModelRow) {
  ops.images.files[kImageBesideProgram].model = "Quor 5211";
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenIncompatibleImage);
  EXPECT_EQ(run.flow.modelMismatch.load(), 1u);
  EXPECT_EQ(run.flow.versionMismatch.load(), 0u);
}

TEST_F(FailureScreenTest, LanguageMismatchMarksTheLanguageRow) {
  ops.images.files[kImageBesideProgram].langCode = "GER";
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenIncompatibleImage);
  EXPECT_EQ(run.flow.languageMismatch.load(), 1u);
  EXPECT_EQ(run.flow.modelMismatch.load(), 0u);
}

TEST_F(FailureScreenTest, RestoreImageLargerThanTheFlashEndsOnImageTooLarge) {
  ChooseRestore(FakeImage{.sizeBytes = (33u << 20)});  // 33 MiB onto 32 MiB of flash
  RunWizard();
  ExpectOnlyScreen(kScreenImageTooLarge);
  EXPECT_EQ(run.image.imageSizeKB, 33u * 1024);
}

TEST_F(FailureScreenTest, RestoreImageOfExactlyTheFlashSizePasses) {
  ChooseRestore(FakeImage{.sizeBytes = (32u << 20) + 1023});
  host.Then(kPageConfirm, Cancel(kPageConfirm));
  RunWizard();
  EXPECT_EQ(host.Pages().back(), kPageConfirm);
  EXPECT_TRUE(host.Screens().empty());
}

TEST_F(FailureScreenTest, UpdateTooLargeByIdentificationsSizeEndsOnImageTooLarge) {
  ops.device.identity->imageSizeKB = 33 * 1024;
  ScriptUpdateAfterOptions();
  RunWizard();
  ExpectOnlyScreen(kScreenImageTooLarge);
}

TEST_F(FailureScreenTest, IncompleteFlashEndsOnUpdateError) {
  ScriptUpdateAfterOptions(/*flashState=*/2);
  RunWizard();
  ExpectOnlyScreen(kScreenUpdateError);
  EXPECT_TRUE(ops.bootLink.versionsDrawn.empty());
}

TEST_F(FailureScreenTest, FlashWorkerScreenIsNotFollowedByASecond) {
  host.Then(kPageOptions, Choose(kOptionUpdate));
  host.Then(kPageProgress, [this](session::UpdateSession& values) {
    host.RunPage(kScreenIdentityReadError);  // the worker's identity read failed
    session::CloseMainWindow(values.flow);
    return 2;
  });
  RunWizard();
  ExpectOnlyScreen(kScreenIdentityReadError);
}

}  // namespace
}  // namespace corvash::driver::doubles
