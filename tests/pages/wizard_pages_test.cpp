// The wizard pages that show session fields, talk to workers or own a thread.
#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/worker_page.h"
#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {

using namespace resources::ids;
using session::PageHost;
using session::WorkerPage;

namespace {

using common::CopyText;

// ----- options page (109) -----

class ScriptedChooser final : public BackupTargetChooser {
 public:
  int ChooseBackupTarget(PageDialog& optionsPage) override {
    ++calls;
    optionsPage.SetPageVisible(false);  // as around WARNUNG 112 / FEHLER 107
    optionsPage.SetPageVisible(true);
    return answer;
  }
  int answer = 0;
  int calls = 0;
};

class OptionsPageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    CopyText(S().handheld.deviceModel, "Quor 5210");
    CopyText(S().handheld.deviceVersion, "2.04");
    CopyText(S().handheld.deviceLanguage, "English");
  }
  ScriptedChooser chooser;
  const PageServices services{.backupTargetChooser = chooser};
};

TEST_F(OptionsPageTest, CancelledBackupChoiceLeavesThePageOpenWithEveryButton) {
  OpenPage page(109, Run(), services);
  chooser.answer = 0;
  page.Press(1030);
  page.Press(1030);
  EXPECT_EQ(chooser.calls, 2);
  EXPECT_FALSE(page.dialog.Ended());
  EXPECT_TRUE(page.dialog.Visible());
  for (int button : {1035, 1036, 1030, 2, 1221}) EXPECT_TRUE(page.dialog.IsEnabled(button)) << button;
  chooser.answer = 1;
  page.Press(1030);
  EXPECT_EQ(page.Result(), 1000);
  EXPECT_EQ(S().flow.cancelled.load(), 0u);
}

TEST_F(OptionsPageTest, ShowsTheConnectedDevice) {
  OpenPage page(109, Run(), services);
  EXPECT_EQ(page.Text(1066), "Modell: Quor 5210");
  EXPECT_EQ(page.Text(1067), "ROM-Version: 2.04");
  EXPECT_EQ(page.Text(1068), "Sprache: Englisch");
  EXPECT_EQ(page.Text(1035), "Aktualisieren");
  EXPECT_EQ(page.Text(1036), "Wiederherstellen");
  EXPECT_EQ(page.Text(1030), "Sichern");
}

TEST_F(OptionsPageTest, PortugueseShowsTheTableCharacter) {
  CopyText(S().handheld.deviceLanguage, "Portuguese");
  EXPECT_EQ(OpenPage(109, Run(), services).Text(1068), "Sprache: 1");
  CopyText(S().handheld.deviceLanguage, "PORTUGUESE");
  EXPECT_EQ(OpenPage(109, Run(), services).Text(1068), "Sprache: 1");
  CopyText(S().handheld.deviceLanguage, "SChinese");
  EXPECT_EQ(OpenPage(109, Run(), services).Text(1068), "Sprache: Vereinfachtes Chinesisch");
  CopyText(S().handheld.deviceLanguage, "");
  EXPECT_EQ(OpenPage(109, Run(), services).Text(1068), "Sprache: Englisch");
}

// ----- confirmation page (124) -----

class ConfirmationPageTest : public PageTest {};

TEST_F(ConfirmationPageTest, ShowsFromAndTo) {
  CopyText(S().handheld.deviceVersion, "2.04");
  CopyText(S().image.imageVersion, "2.10");
  OpenPage page(124, Run());
  EXPECT_EQ(page.Text(1049), "Von:");
  EXPECT_EQ(page.Text(1050), "ROM-Version: 2.04");
  EXPECT_EQ(page.Text(1051), "Nach:");
  EXPECT_EQ(page.Text(1027), T(11046) + " 2.10");
  EXPECT_TRUE(page.dialog.IsEnabled(1221));
}

TEST_F(ConfirmationPageTest, RecoveryRunOffersNoWayBack) {
  S().flow.backAllowed.store(0);
  OpenPage page(124, Run());
  EXPECT_FALSE(page.dialog.IsEnabled(1221));
  page.Press(1221);
  EXPECT_FALSE(page.dialog.Ended());
  EXPECT_EQ(S().flow.backFromConfirm.load(), 0u);
  page.Press(1);
  EXPECT_EQ(page.Result(), 1);
}

// ----- progress page (102) -----

// The flashing workers over a real boot-loader link: the page is put on the
// link as the flash's watch, and the watchdog's expiry is the link's own.
class RecordingFlash final : public FlashWorkers {
 public:
  void IdentifyAndFlashThread() override { Run(identify); }
  void CheckAndFlashThread() override { Run(check); }
  void WatchFlash(bootlink::FlashWatch* watch) override { link.load()->Watch(watch); }
  void LinkWatchdogExpired(bootlink::FlashWatch& watch) override {
    const FakePageDialog* page = expiringPage.load();
    pageEndedBeforeExpiry.store(page != nullptr && page->Ended());
    bootlink::LinkWatchdogExpired(*link.load(), watch);
    ++expiries;
  }
  void Run(std::atomic<int>& counter) {
    // The worker reaches the page the way the flash code does.
    sawWatch.store(link.load()->Watcher() != nullptr);
    ++counter;
  }
  std::atomic<bootlink::LoaderLink*> link{nullptr};
  std::atomic<const FakePageDialog*> expiringPage{nullptr};
  std::atomic<int> identify{0};
  std::atomic<int> check{0};
  std::atomic<int> expiries{0};
  std::atomic<bool> sawWatch{false};
  std::atomic<bool> pageEndedBeforeExpiry{false};
};

RecordingFlash& Flash() {
  static RecordingFlash* const flash = new RecordingFlash;  // outlives worker threads at exit
  return *flash;
}

// Screens that a page opens over itself.
class NotedScreens final : public PageHost {
 public:
  int RunPage(int templateId) override {
    shown.push_back(templateId);
    return 1;
  }
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
  std::vector<int> shown;
};

class ProgressPageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    Flash().link = &link;
    Flash().expiringPage = nullptr;
    Flash().identify = 0;
    Flash().check = 0;
    Flash().expiries = 0;
  }
  // Every page opened here started a worker; none may outlive the test.
  void TearDown() override {
    EXPECT_TRUE(WaitFor([this] { return Flash().identify.load() + Flash().check.load() == opened; }));
    PageTest::TearDown();
  }
  std::unique_ptr<OpenPage> Open() {
    ++opened;
    return std::make_unique<OpenPage>(102, Run(), services);
  }
  std::string DurationText() { return Open()->Text(1132); }

  bootlink::LoaderLink link{nullptr, run_.serialLink};
  CountingWorkers workers;
  const PageServices services{.flashWorkers = Flash(), .flashSettingsWriter = workers};
  int opened = 0;
};

TEST_F(ProgressPageTest, SerialLinkWithVariantWbtTakesEightyMinutes) {
  CopyText(S().handheld.deviceVariant, "WBT");
  S().serialLink.store(1);
  EXPECT_EQ(DurationText(), "Dieser Vorgang wird etwa 80 Minuten dauern.");
}

TEST_F(ProgressPageTest, DurationsByVariantAndLink) {
  CopyText(S().handheld.deviceVariant, "NBT");
  S().serialLink.store(1);
  EXPECT_EQ(DurationText(), "Dieser Vorgang wird etwa 60 Minuten dauern.");
  S().serialLink.store(0);
  EXPECT_EQ(DurationText(), "Dieser Vorgang wird etwa 8 Minuten dauern.");
  CopyText(S().handheld.deviceVariant, "nbt");  // the variant is compared exactly
  EXPECT_EQ(DurationText(), "Dieser Vorgang wird etwa 10 Minuten dauern.");
}

TEST_F(ProgressPageTest, OpeningStartsTheNormalWorkerRecordsTheFlashAndArmsTheWatchdog) {
  auto opened = Open();
  OpenPage& page = *opened;
  EXPECT_EQ(page.Text(1023), "0");
  EXPECT_EQ(page.Text(1043), T(11033));
  EXPECT_EQ(page.dialog.ColouringOf(1131), Colouring::kRedText);
  EXPECT_EQ(page.dialog.Timer(2), 90000u);
  EXPECT_TRUE(page.dialog.WaitCursor());
  EXPECT_EQ(page.dialog.Caption(), "");
  EXPECT_EQ(workers.settingsWrites.load(), 1);
  ASSERT_TRUE(WaitFor([] { return Flash().identify.load() == 1; }));
  EXPECT_TRUE(Flash().sawWatch.load());
  EXPECT_EQ(Flash().check.load(), 0);
}

TEST_F(ProgressPageTest, RecoveryRunStartsTheCheckingWorker) {
  S().flow.recoveryFlash.store(1);
  auto page = Open();
  ASSERT_TRUE(WaitFor([] { return Flash().check.load() == 1; }));
  EXPECT_EQ(Flash().identify.load(), 0);
}

TEST_F(ProgressPageTest, WatchesTheLinkWhileOpenAndEndsWithTheCompletedFlash) {
  auto page = Open();
  bootlink::FlashWatch* watch = link.Watcher();
  ASSERT_NE(watch, nullptr);
  watch->SetBarRange(0, 100);
  watch->SetBarPosition(42);
  watch->SetFigure(42);
  watch->ArmWatchdog(150000);
  EXPECT_EQ(page->dialog.Range(1020), (std::pair<uint32_t, uint32_t>{0, 100}));
  EXPECT_EQ(page->dialog.Position(1020), 42u);
  EXPECT_EQ(page->Text(1023), "42");
  EXPECT_EQ(page->dialog.Timer(2), 150000u);
  watch->KillWatchdog();
  EXPECT_EQ(page->dialog.Timer(2), std::nullopt);
  watch->Hide();
  EXPECT_FALSE(page->dialog.Visible());
  page->dialog.SetPageVisible(true);  // shown again, to see the completion hide it
  EXPECT_EQ(workers.settingsDeletes.load(), 0);
  watch->FlashCompleted();
  EXPECT_EQ(workers.settingsDeletes.load(), 1);
  EXPECT_FALSE(page->dialog.Visible());
  EXPECT_EQ(page->Result(), 1);
  watch->ArmWatchdog(10);  // after the end: reaches nothing
  EXPECT_EQ(page->dialog.Timer(2), std::nullopt);
  page->Close();
  EXPECT_EQ(link.Watcher(), nullptr);
  watch->SetFigure(7);  // a worker still holding the old watch
  EXPECT_EQ(page->Text(1023), "42");
}

TEST_F(ProgressPageTest, UnopenedImageShowsItsScreenAndEndsTheRunWhileThePageWaitsForItsWatchdog) {
  NotedScreens screens;
  ++opened;
  auto page = std::make_unique<OpenPage>(102, PageRun{S(), screens, watches_}, services);
  link.Watcher()->ReportFault(bootlink::FlashFault::kImageNotOpened);
  EXPECT_EQ(screens.shown, std::vector<int>{kScreenImageNotOpened});
  EXPECT_EQ(S().flow.mainWindow.load(), 0u);
  EXPECT_FALSE(page->dialog.Ended());
}

TEST_F(ProgressPageTest, WatchdogExpiryLetsTheLinkGoFirstThenFails) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  link.KeepImageFile(fds[0]);
  link.flashState.store(3);  // second load sent, its download not finished
  auto opened = Open();
  OpenPage& page = *opened;
  Flash().expiringPage = &page.dialog;
  page.Tick(2);
  EXPECT_EQ(Flash().expiries.load(), 1);
  EXPECT_FALSE(Flash().pageEndedBeforeExpiry.load());
  EXPECT_EQ(page.Result(), 2);
  EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);  // closed
  EXPECT_EQ(link.linkClosed.load(), 1u);
  EXPECT_EQ(link.flashState.load(), 2u);
  EXPECT_EQ(page.dialog.Timer(2), std::nullopt);
  ::close(fds[1]);
}

TEST_F(ProgressPageTest, OtherTimersAndCommandsDoNothing) {
  link.flashState.store(1);
  auto opened = Open();
  OpenPage& page = *opened;
  page.Tick(1);
  page.Press(1);
  page.Press(2);
  EXPECT_FALSE(page.dialog.Ended());
  EXPECT_EQ(Flash().expiries.load(), 0);
  EXPECT_EQ(link.linkClosed.load(), 0u);
  EXPECT_EQ(link.flashState.load(), 1u);
}

// ----- boot-mode instructions page (169) -----

// A watch that waits to be told the loader answered, or to be stopped.
class ScriptedBootWatch final : public BootLoaderWatch {
 public:
  void RunBootLoaderWatch(WorkerPage& page, std::atomic<uint32_t>& stop) override {
    const int now = ++running;
    if (now > maxRunning.load()) maxRunning.store(now);
    while (stop.load() == 0) {
      if (loaderAnswered.load()) {
        page.Enable(1221, false);
        page.Enable(1, true);
        stop.store(1);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    --running;
    ++finished;
  }
  std::atomic<bool> loaderAnswered{false};
  std::atomic<int> running{0};
  std::atomic<int> maxRunning{0};
  std::atomic<int> finished{0};
};

ScriptedBootWatch& BootWatch() {
  static ScriptedBootWatch* const watch = new ScriptedBootWatch;  // outlives worker threads at exit
  return *watch;
}

class BootModePageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    BootWatch().loaderAnswered = false;
    BootWatch().finished = 0;
    BootWatch().maxRunning = 0;
  }
  const PageServices services{.bootLoaderWatch = BootWatch()};
};

TEST_F(BootModePageTest, WeiterOnlyOnceTheLoaderAnswers) {
  OpenPage page(169, Run(), services);
  EXPECT_FALSE(page.dialog.IsEnabled(1));
  EXPECT_EQ(page.dialog.PictureShown(), Picture::kButtons);
  page.Press(1);  // Enter before the loader answered
  EXPECT_FALSE(page.dialog.Ended());
  BootWatch().loaderAnswered = true;
  ASSERT_TRUE(WaitFor([&] { return page.dialog.IsEnabled(1); }));
  EXPECT_FALSE(page.dialog.IsEnabled(1221));
  page.Press(1);
  EXPECT_EQ(page.Result(), 1);
  ASSERT_TRUE(WaitFor([] { return BootWatch().finished.load() == 1; }));
}

TEST_F(BootModePageTest, EveryButtonStopsTheWatch) {
  for (int button : {2, 1221}) {
    OpenPage page(169, Run(), services);
    page.Press(button);
    EXPECT_EQ(page.Result(), 0);
    ASSERT_TRUE(WaitFor([&] { return BootWatch().running.load() == 0; })) << button;
  }
  EXPECT_EQ(S().flow.cancelled.load(), 1u);
  EXPECT_EQ(S().flow.backFromBootInstructions.load(), 1u);
}

TEST_F(BootModePageTest, ReopenedPageWatchesOnlyAfterThePreviousWatchEnded) {
  for (int round = 0; round < 5; ++round) {
    OpenPage page(169, Run(), services);
    page.Press(1221);
  }
  OpenPage last(169, Run(), services);
  BootWatch().loaderAnswered = true;
  ASSERT_TRUE(WaitFor([&] { return last.dialog.IsEnabled(1); }));
  EXPECT_EQ(BootWatch().maxRunning.load(), 1);
  last.Press(1);
  ASSERT_TRUE(WaitFor([] { return BootWatch().running.load() == 0; }));
}

// ----- backup progress page (132) -----

class ScriptedBackup final : public BackupWorker {
 public:
  BackupEnding RunBackupWorker(WorkerPage& page) override {
    page.SetBarRange(0, 0x1F00000);
    page.SetBarPosition(0x40000);
    page.SetFigure(0);
    ++runs;
    std::lock_guard lock(mutex);
    return ending;
  }
  void EndWith(BackupEnding next) {
    std::lock_guard lock(mutex);
    ending = next;
  }
  std::mutex mutex;
  BackupEnding ending{.complete = true};
  std::atomic<int> runs{0};
};

ScriptedBackup& Backup() {
  static ScriptedBackup* const backup = new ScriptedBackup;  // outlives worker threads at exit
  return *backup;
}

class BackupProgressPageTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    Backup().runs = 0;
  }
  const PageServices services{.backupWorker = Backup()};
};

TEST_F(BackupProgressPageTest, WorkerDrivesTheBarAndEndsThePage) {
  Backup().EndWith({.complete = true});
  OpenPage page(132, Run(), services);
  ASSERT_TRUE(WaitFor([&] { return page.dialog.Ended(); }));
  EXPECT_EQ(page.Result(), 1);
  EXPECT_EQ(page.dialog.Range(1020), (std::pair<uint32_t, uint32_t>{0, 0x1F00000}));
  EXPECT_EQ(page.dialog.Position(1020), 0x40000u);
  ASSERT_TRUE(WaitFor([] { return Backup().runs.load() == 1; }));
  EXPECT_EQ(page.Text(1023), "0");
}

TEST_F(BackupProgressPageTest, WorkerThatGivesUpWithoutEndingLeavesNoPageOpen) {
  Backup().EndWith({});
  OpenPage page(132, Run(), services);
  ASSERT_TRUE(WaitFor([&] { return page.dialog.Ended(); }));
  EXPECT_EQ(page.Result(), 2);
}

TEST_F(BackupProgressPageTest, DurationByLinkAndRedWarning) {
  Backup().EndWith({.complete = true});
  S().serialLink.store(1);
  {
    OpenPage page(132, Run(), services);
    EXPECT_EQ(page.Text(1089), "Dieser Vorgang wird etwa 30 Minuten dauern.");
    EXPECT_EQ(page.dialog.ColouringOf(1088), Colouring::kRedText);
    EXPECT_EQ(page.dialog.Caption(), "");
    WaitFor([&] { return page.dialog.Ended(); });
  }
  S().serialLink.store(0);
  OpenPage page(132, Run(), services);
  EXPECT_EQ(page.Text(1089), "Dieser Vorgang wird etwa 4 Minuten dauern.");
  WaitFor([&] { return page.dialog.Ended(); });
  ASSERT_TRUE(WaitFor([] { return Backup().runs.load() == 2; }));
}

// Screens opened while the page is up, with the run's state at each opening.
class ScreenLog final : public PageHost {
 public:
  explicit ScreenLog(const session::UpdateSession& run) : run_(run) {}
  int RunPage(int templateId) override {
    std::lock_guard lock(mutex);
    opened.push_back({templateId, run_.flow.mainWindow.load()});
    return 1;
  }
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
  std::vector<std::pair<int, uint32_t>> Opened() {
    std::lock_guard lock(mutex);
    return opened;
  }
  std::mutex mutex;
  std::vector<std::pair<int, uint32_t>> opened;

 private:
  const session::UpdateSession& run_;
};

TEST_F(BackupProgressPageTest, FailedPullShowsItsScreenAndEndsTheRunOnlyWhenItSaysSo) {
  ScreenLog screens(S());
  for (const bool endsRun : {false, true}) {
    S().flow.mainWindow = 1;
    Backup().EndWith({.complete = false, .screen = kScreenBackupFailed, .endsRun = endsRun});
    OpenPage page(132, {S(), screens, watches_}, services);
    ASSERT_TRUE(WaitFor([&] { return page.dialog.Ended() && !screens.Opened().empty(); }));
    EXPECT_EQ(page.Result(), 2);
    // The screen opens while the run is still open; a run-ending one hides
    // the page first and closes the run after it.
    EXPECT_EQ(screens.Opened(), (std::vector<std::pair<int, uint32_t>>{{kScreenBackupFailed, 1u}}));
    EXPECT_EQ(page.dialog.Visible(), !endsRun);
    ASSERT_TRUE(WaitFor([&] { return S().flow.mainWindow.load() == (endsRun ? 0u : 1u); }));
    std::lock_guard lock(screens.mutex);
    screens.opened.clear();
  }
  Backup().EndWith({.complete = true});
}

// ----- reset instructions (167), finish (133), wait box (122) -----

class LastPagesTest : public PageTest {
 protected:
  CountingWorkers workers;
  const PageServices services = workers.Services();
};

TEST_F(LastPagesTest, ResetPageTakesTheLinkDownWhenItOpens) {
  OpenPage page(167, Run(), services);
  EXPECT_EQ(workers.linkCloses.load(), 1);
  EXPECT_EQ(workers.portReleases.load(), 0);
  EXPECT_EQ(page.dialog.PictureShown(), Picture::kButtons);
  EXPECT_EQ(page.Text(1181), "Weiter");
}

TEST_F(LastPagesTest, ResetPageIgnoresEnterAndEscape) {
  OpenPage page(167, Run(), services);
  page.Press(kCommandOk);
  page.Press(kCommandCancel);
  EXPECT_FALSE(page.dialog.Ended());
  EXPECT_EQ(workers.syncRestarts.load(), 0);
  page.Press(1181);
  EXPECT_EQ(page.Result(), 0);
  EXPECT_EQ(workers.syncRestarts.load(), 1);
  EXPECT_EQ(S().flow.cancelled.load(), 0u);
}

TEST_F(LastPagesTest, FinishPageSetsTheClockOnEitherWayOut) {
  {
    OpenPage page(133, Run(), services);
    EXPECT_EQ(page.Text(1), "Fertig stellen");
    page.Press(1);
    page.Press(1);  // a second press after the end does not set it again
    EXPECT_EQ(page.Result(), 0);
  }
  EXPECT_EQ(workers.clockCalls.load(), 1);
  OpenPage page(133, Run(), services);
  page.Press(2);
  EXPECT_EQ(page.Result(), 1);
  EXPECT_EQ(workers.clockCalls.load(), 2);
}

TEST_F(LastPagesTest, WaitBoxEndsOnItsPrivateMessage) {
  OpenPage box(122, Run());
  EXPECT_EQ(S().flow.waitDialog.load(), 1u);
  EXPECT_EQ(box.Text(1072), T(11057));
  box.Message(1073);
  EXPECT_FALSE(box.dialog.Ended());
  box.Message(kMessageCloseWaitBox);
  EXPECT_EQ(box.Result(), 1);
}

}  // namespace
}  // namespace corvash::pages::testing
