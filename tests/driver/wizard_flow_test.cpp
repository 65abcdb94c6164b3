// Whole runs through the page graph with the device linked over the sync
// software: update, restore, backup and the ways back.
#include <fstream>
#include <latch>
#include <thread>

#include "tests/driver/driver_fixture.h"

namespace corvash::driver::doubles {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WizardFlowTest = DriverTest;

TEST_F(WizardFlowTest, UpdateRunsEveryPageOnceAndFinishes) {
  std::ofstream(MarkerFile()) << "x";
  ScriptUpdateAfterOptions();
  uint32_t recoveryFlashAtProgress = 99;
  host.onOpen = [&](int page) {
    if (page == kPageProgress) {
      recoveryFlashAtProgress = run.flow.recoveryFlash.load();
      // The sync software is stopped and the session ended before the flash.
      EXPECT_EQ(ops.device.stops, 1);
      EXPECT_EQ(api.uninits.load(), 1);
    }
  };

  RunWizard();

  EXPECT_THAT(host.log, ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kWaitBoxShown, kWaitBoxClosed,
                                    kPageOptions, kPageConfirm, kPageReady, kPageBootInstructions, kPageProgress,
                                    kPageResetInstructions, kPageFinish));
  EXPECT_EQ(recoveryFlashAtProgress, 0u);
  EXPECT_EQ(common::TextOf(run.image.imagePath), kImageBesideProgram);
  EXPECT_EQ(ops.device.identifications, 1);
  EXPECT_EQ(ops.settings.deletes, 1);  // the device was found running
  EXPECT_THAT(ops.bootLink.versionsDrawn, ElementsAre("2.05"));  // the flashed image's
  EXPECT_EQ(ops.bootLink.portTests, 0);
  EXPECT_FALSE(std::filesystem::exists(MarkerFile()));
  EXPECT_TRUE(host.ScriptUsedUp());
  ExpectRunClosed();
}

// Two runs side by side, each with its own values, pages and operations,
// meet at the option page: neither sees the other's image, flags or pages.
TEST_F(WizardFlowTest, TwoRunsAtOnceKeepTheirOwnValues) {
  session::UpdateSession otherRun;
  otherRun.flow.mainWindow = 1;
  ScriptedPageHost otherHost(otherRun);
  FakeRemoteApi otherApi;
  otherApi.linked = true;
  FakeOperations otherOps(otherApi);
  otherOps.images.files[kBackupImage] = FakeImage{.version = "2.01"};
  otherOps.images.chooserAnswers = {kBackupImage};
  otherHost.Then(kPageOptions, Choose(kOptionRestore));
  otherHost.Then(kPageConfirm, Back(kPageConfirm));  // then the option page once more, cancelled
  otherHost.Then(kPageOptions, Cancel(kPageOptions));
  ScriptUpdateAfterOptions();

  std::latch bothAtOptions(2);
  std::string imageAtConfirm;
  std::string otherImageAtConfirm;
  host.onOpen = [&](int page) {
    if (page == kPageOptions) bothAtOptions.arrive_and_wait();
    if (page == kPageConfirm) imageAtConfirm = common::TextOf(run.image.imagePath);
  };
  otherHost.onOpen = [&](int page) {
    if (page == kPageOptions && otherHost.Pages().size() == 4) bothAtOptions.arrive_and_wait();
    if (page == kPageConfirm) otherImageAtConfirm = common::TextOf(otherRun.image.imagePath);
  };
  std::thread other([&] {
    const WizardOperations bound = otherOps.Bind();
    driver::RunWizard({bound, otherHost, otherRun});
  });
  RunWizard();
  other.join();

  EXPECT_EQ(imageAtConfirm, kImageBesideProgram);
  EXPECT_EQ(otherImageAtConfirm, kBackupImage);
  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions, kPageConfirm,
                                        kPageReady, kPageBootInstructions, kPageProgress, kPageResetInstructions,
                                        kPageFinish));
  EXPECT_THAT(otherHost.Pages(),
              ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions, kPageConfirm, kPageOptions));
  EXPECT_EQ(run.flow.cancelled.load(), 0u);
  EXPECT_EQ(otherRun.flow.cancelled.load(), 1u);
  EXPECT_EQ(otherRun.flow.backFromConfirm.load(), 0u);  // taken by its own driver
  EXPECT_THAT(otherOps.bootLink.versionsDrawn, IsEmpty());
  ExpectRunClosed();
  EXPECT_EQ(otherRun.flow.mainWindow.load(), 0u);
}

TEST_F(WizardFlowTest, RestoreReturnsToOptionsWhenTheChooserIsCancelled) {
  ops.images.files[kBackupImage] = FakeImage{.version = "2.01", .sizeBytes = 0x1F00020};
  ops.images.chooserAnswers = {"", kBackupImage};
  host.Then(kPageOptions, Choose(kOptionRestore));
  host.Then(kPageOptions, Choose(kOptionRestore));
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions, kPageOptions,
                                        kPageConfirm, kPageReady, kPageBootInstructions, kPageProgress,
                                        kPageResetInstructions, kPageFinish));
  EXPECT_EQ(common::TextOf(run.image.imagePath), kBackupImage);
  EXPECT_EQ(run.image.imageSizeKB, 0x1F00020u >> 10);
  EXPECT_EQ(ops.device.identifications, 1);
  ExpectRunClosed();
}

TEST_F(WizardFlowTest, BackupReturnsToTheOptionPage) {
  host.Then(kPageOptions, Choose(kOptionBackup));
  host.Then(kPageOptions, Cancel(kPageOptions));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions,
                                        kPageBackupProgress, kPageOptions));
  EXPECT_THAT(host.Screens(), IsEmpty());
  EXPECT_EQ(ops.device.stops, 0);
  ExpectRunClosed();
}

TEST_F(WizardFlowTest, FailedBackupEndsOnItsOwnScreenOnly) {
  host.Then(kPageOptions, Choose(kOptionBackup));
  host.Then(kPageBackupProgress, [this](session::UpdateSession& values) {
    host.RunPage(kScreenConnectionError);  // the pull's own failure screen
    session::CloseMainWindow(values.flow);
    return 2;
  });

  RunWizard();

  EXPECT_THAT(host.Screens(), ElementsAre(kScreenConnectionError));
  EXPECT_EQ(host.Pages().back(), kScreenConnectionError);
  ExpectRunClosed();
}

TEST_F(WizardFlowTest, BackFromOptionsSkipsASecondIdentification) {
  host.Then(kPageOptions, Back(kPageOptions));
  host.Then(kPageOptions, Cancel(kPageOptions));

  RunWizard();

  EXPECT_THAT(host.log, ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kWaitBoxShown, kWaitBoxClosed,
                                    kPageOptions, kPageConnect, kPageOptions));
  EXPECT_EQ(ops.device.identifications, 1);
  EXPECT_EQ(api.inits.load(), 1);
  EXPECT_EQ(run.flow.backFromOptions.load(), 0u);
  ExpectRunClosed();
}

TEST_F(WizardFlowTest, BackFromOptionsStaysKnownThroughThePreparationPage) {
  host.Then(kPageOptions, Back(kPageOptions));
  host.Then(kPageConnect, Forward(kPageConnect));
  host.Then(kPageConnect, Back(kPageConnect));
  host.Then(kPageOptions, Cancel(kPageOptions));

  RunWizard();

  EXPECT_THAT(host.Pages(), ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions, kPageConnect,
                                        kPagePrepare, kPageConnect, kPageOptions));
  EXPECT_EQ(ops.device.identifications, 1);
}

TEST_F(WizardFlowTest, BackButtonsLeadToTheirPagesAndClearTheirFlags) {
  host.Then(kPagePrepare, Back(kPagePrepare));
  host.Then(kPageOptions, Choose(kOptionUpdate));
  host.Then(kPageConfirm, Back(kPageConfirm));
  host.Then(kPageOptions, Choose(kOptionUpdate));
  host.Then(kPageReady, Back(kPageReady));
  host.Then(kPageBootInstructions, Back(kPageBootInstructions));
  host.Then(kPageProgress, Progress(ops.bootLink, 1, 3));

  RunWizard();

  EXPECT_THAT(host.Pages(),
              ElementsAre(kPageWelcome, kPagePrepare, kPageWelcome, kPagePrepare, kPageConnect, kPageOptions,
                          kPageConfirm, kPageOptions, kPageConfirm, kPageReady, kPageConfirm, kPageReady,
                          kPageBootInstructions, kPageReady, kPageBootInstructions, kPageProgress,
                          kPageResetInstructions, kPageFinish));
  const session::UpdateSession& s = run;
  for (const auto* flag : {&s.flow.backFromPrepare, &s.flow.backFromConnect, &s.flow.backFromOptions, &s.flow.backFromConfirm,
                           &s.flow.backFromReady, &s.flow.backFromBootInstructions}) {
    EXPECT_EQ(flag->load(), 0u);
  }
  EXPECT_EQ(ops.device.stops, 1);
}


TEST_F(WizardFlowTest, PowerWarningGivenUpEndsWithoutAScreen) {
  ScriptUpdateAfterOptions();
  ops.device.powerAnswers = {kPowerNoMains};
  host.Then(kScreenPowerWarning, Choose(1));  // "Abbrechen"
  RunWizard();
  EXPECT_EQ(host.Pages().back(), kScreenPowerWarning);
  EXPECT_THAT(host.Screens(), IsEmpty());
  ExpectRunClosed();
}

TEST_F(WizardFlowTest, PowerWarningWeiterGoesOnToTheFlash) {
  ScriptUpdateAfterOptions();
  ops.device.powerAnswers = {kPowerNoMains};
  host.Then(kScreenPowerWarning, Choose(0));  // "Weiter"
  RunWizard();
  EXPECT_THAT(host.Pages(), Contains(kPageProgress));
  ExpectRunClosed();
}

class CancelOnPageTest : public DriverTest, public ::testing::WithParamInterface<int> {};

TEST_P(CancelOnPageTest, EndsTheRunThereWithoutAScreen) {
  const int page = GetParam();
  if (page != kPageOptions) host.Then(kPageOptions, Choose(kOptionUpdate));
  host.Then(page, Cancel(page));

  RunWizard();

  EXPECT_EQ(host.Pages().back(), page);
  EXPECT_THAT(host.Screens(), IsEmpty());
  EXPECT_EQ(ops.device.stops, 0);
  EXPECT_FALSE(host.WaitBoxOpen());
  ExpectRunClosed();
}

INSTANTIATE_TEST_SUITE_P(WizardPages, CancelOnPageTest,
                         ::testing::Values(kPageWelcome, kPagePrepare, kPageConnect, kPageOptions, kPageConfirm,
                                           kPageReady, kPageBootInstructions));

}  // namespace
}  // namespace corvash::driver::doubles
