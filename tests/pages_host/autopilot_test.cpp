// The autopilot on the real Qt host: steps act on the pages they name, in
// order; a disabled control, an unexpected page, a wrong file dialog, a
// failed command, a wait past its limit or steps left at the end fail the run.
#include <gtest/gtest.h>

#include <QTimer>
#include <thread>

#include "desktop/automation/autopilot.h"
#include "desktop/qt/qt_file_chooser.h"
#include "desktop/qt/qt_page.h"
#include "tests/pages_host/qt_test_support.h"

namespace corvash::pages::test {

using automation::Autopilot;
using automation::AutopilotOptions;
using automation::ParseAutopilotScript;

namespace {

class AutopilotTest : public QtHostFixture {
 protected:
  // Starts an autopilot on `script`; failures are recorded, not fatal. The
  // page wait keeps a real floor unless a test is about that limit.
  void Start(const std::string& script, uint32_t pageWaitMs = 120000,
             std::chrono::milliseconds pageWaitFloor = std::chrono::milliseconds(10000)) {
    std::string error;
    auto steps = ParseAutopilotScript(script, &error);
    ASSERT_TRUE(steps.has_value()) << error;
    AutopilotOptions options;
    options.pageWaitMs = pageWaitMs;
    options.pageWaitFloor = pageWaitFloor;
    options.fail = [this](const std::string& reason) {
      std::lock_guard lock(mutex_);
      failures_.push_back(reason);
    };
    autopilot_ = std::make_unique<Autopilot>(std::move(*steps), std::move(options));
    host_->AddObserver(autopilot_.get());
    autopilot_->Start();
  }

  void TearDown() override {
    if (autopilot_) autopilot_->Stop(false);
    QtHostFixture::TearDown();
  }

  std::vector<std::string> Failures() {
    std::lock_guard lock(mutex_);
    return failures_;
  }
  bool HasFailed() { return !Failures().empty(); }

  // Runs `templateId` from a worker (as the driver does) and waits for its end.
  int RunFromWorker(int templateId, const std::function<bool()>& stopEarly = [] { return false; }) {
    std::atomic<int> result{-100};
    std::thread driver([&] { result = host_->RunPage(templateId); });
    PumpUntil([&] { return result.load() != -100 || stopEarly(); });
    if (result.load() == -100) host_->Shutdown();
    PumpUntil([&] { return result.load() != -100; });
    driver.join();
    return result.load();
  }

  std::unique_ptr<Autopilot> autopilot_;
  std::mutex mutex_;
  std::vector<std::string> failures_;
};

TEST_F(AutopilotTest, ChecksAndPressesInOrder) {
  onCommand_ = [](PageDialog& page, int commandId) {
    if (commandId == 1203) page.Enable(1, page.IsChecked(1203));
    if (commandId == 1) page.End(0);
  };
  Start("900 check 1203\n900 press 1\n");
  EXPECT_EQ(RunFromWorker(kAckPage), 0);
  EXPECT_EQ(log_.Ids("command"), (std::vector<int>{1203, 1}));
  autopilot_->Stop(true);
  EXPECT_TRUE(Failures().empty());
  EXPECT_EQ(autopilot_->StepsDone(), 2u);
}

TEST_F(AutopilotTest, PressingADisabledControlFailsTheRun) {
  Start("900 press 1\n");
  RunFromWorker(kAckPage, [this] { return HasFailed(); });
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("disabled"), std::string::npos) << Failures()[0];
  EXPECT_TRUE(log_.Ids("command").empty()) << "the disabled button must not have been pressed";
}

TEST_F(AutopilotTest, EnterOnAPageWithoutButtonOneIsCommandOne) {
  onCommand_ = [](PageDialog& page, int commandId) { page.End(commandId + 10); };
  Start("901 press 1\n");
  EXPECT_EQ(RunFromWorker(kQuitOnlyPage), 11);
  EXPECT_TRUE(Failures().empty());
}

TEST_F(AutopilotTest, ClickingAControlThePageLacksFails) {
  Start("901 press 1234\n");
  RunFromWorker(kQuitOnlyPage, [this] { return HasFailed(); });
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("no such control"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, APageTheNextStepDoesNotNameFailsAtOnce) {
  Start("901 press 1175\n");
  RunFromWorker(kAckPage, [this] { return HasFailed(); });
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("page 900 needs its user"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, PagesThatEndByThemselvesAreLeftAlone) {
  onTimer_ = [](PageDialog& page, int) { page.End(1); };
  Start("901 press 1175\n");
  std::thread driver([&] {
    host_->RunPage(kBarPage);  // ended by its own timer below
    host_->RunPage(kQuitOnlyPage);
  });
  std::shared_ptr<qt::QtPage> bar = WaitForPage(kBarPage);
  ASSERT_NE(bar, nullptr);
  bar->SetTimer(1, 5000);
  ASSERT_TRUE(PumpUntil([&] { return log_.Ids("closed").size() == 2u; }));
  driver.join();
  autopilot_->Stop(true);
  EXPECT_TRUE(Failures().empty()) << Failures()[0];
}

TEST_F(AutopilotTest, WaitEnabledWaitsForAWorkerAndTimesOut) {
  onCommand_ = [](PageDialog& page, int commandId) {
    if (commandId == 1) page.End(1);
  };
  Start("900 wait-enabled 1 100000\n900 press 1\n");
  std::atomic<int> result{-100};
  std::thread driver([&] { result = host_->RunPage(kAckPage); });
  std::shared_ptr<qt::QtPage> page = WaitForPage(kAckPage);
  ASSERT_NE(page, nullptr);
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    page->Enable(1, true);
  });
  ASSERT_TRUE(PumpUntil([&] { return result.load() != -100; }));
  worker.join();
  driver.join();
  EXPECT_EQ(result.load(), 1);
  EXPECT_TRUE(Failures().empty());
}

TEST_F(AutopilotTest, WaitEnabledPastItsLimitFails) {
  Start("900 wait-enabled 1 5000\n");  // 50 ms at the tests' scale
  RunFromWorker(kAckPage, [this] { return HasFailed(); });
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("not enabled in time"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, AStepWaitingForAPageThatNeverOpensFails) {
  Start("901 press 1175\n", 5000, std::chrono::milliseconds(0));
  ASSERT_TRUE(PumpUntil([this] { return HasFailed(); }));
  EXPECT_NE(Failures()[0].find("did not open"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, FileStepsAnswerTheChoosersInTurn) {
  Start("file open /tmp/a.nbf\nfile save /tmp/backup\nfile cancel\n");
  qt::AutopilotFileChooser chooser(*autopilot_);
  image::FileDialogRequest request;
  request.defaultExtension = "nbf";
  EXPECT_EQ(chooser.Open(request), std::optional<std::string>("/tmp/a.nbf"));
  EXPECT_EQ(chooser.Save(request), std::optional<std::string>("/tmp/backup.nbf"));
  EXPECT_EQ(chooser.Save(request), std::nullopt);
  autopilot_->Stop(true);
  EXPECT_TRUE(Failures().empty());
}

TEST_F(AutopilotTest, ACommandThatAsksForAFileAndOpensANestedPageFollowsTheScript) {
  // As the options page's "Sichern": the save dialog, then a warning
  // screen on top of the page, all inside one command.
  std::optional<std::string> chosen;
  int nested = -100;
  std::unique_ptr<qt::AutopilotFileChooser> chooser;
  onCommand_ = [&](PageDialog& page, int commandId) {
    if (page.TemplateId() == kQuitOnlyPage) {
      page.End(commandId);
      return;
    }
    if (commandId != 2) return;
    chosen = chooser->Save(image::FileDialogRequest{});
    nested = host_->RunPage(kQuitOnlyPage);
    page.End(1000);
  };
  Start("900 press 2\nfile save /tmp/rom.nbf\n901 press 1175\n");
  chooser = std::make_unique<qt::AutopilotFileChooser>(*autopilot_);
  EXPECT_EQ(RunFromWorker(kAckPage, [this] { return HasFailed(); }), 1000);
  EXPECT_TRUE(Failures().empty()) << Failures()[0];
  EXPECT_EQ(chosen, std::optional<std::string>("/tmp/rom.nbf"));
  EXPECT_EQ(nested, 1175);
}

TEST_F(AutopilotTest, AFileAnswerOfTheWrongKindFails) {
  Start("file save /tmp/backup.nbf\n");
  qt::AutopilotFileChooser chooser(*autopilot_);
  EXPECT_EQ(chooser.Open(image::FileDialogRequest{}), std::nullopt);
  ASSERT_TRUE(PumpUntil([this] { return HasFailed(); }));
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("open file dialog"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, RunStepsRunTheirCommandAndAFailureEndsTheRun) {
  std::vector<std::string> commands;
  onCommand_ = [](PageDialog& page, int) { page.End(0); };
  std::string error;
  auto steps = ParseAutopilotScript("901 run echo one\n901 run exit 4\n", &error);
  ASSERT_TRUE(steps.has_value()) << error;
  AutopilotOptions options;
  options.fail = [this](const std::string& reason) {
    std::lock_guard lock(mutex_);
    failures_.push_back(reason);
  };
  options.runCommand = [&](const std::string& command) {
    commands.push_back(command);
    return command == "exit 4" ? 4 : 0;
  };
  autopilot_ = std::make_unique<Autopilot>(std::move(*steps), std::move(options));
  host_->AddObserver(autopilot_.get());
  autopilot_->Start();
  RunFromWorker(kQuitOnlyPage, [this] { return HasFailed(); });
  EXPECT_EQ(commands, (std::vector<std::string>{"echo one", "exit 4"}));
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("status 4"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, StepsLeftWhenTheProgramEndsFailTheRun) {
  Start("901 press 1175\n");
  autopilot_->Stop(true);
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("line 1"), std::string::npos) << Failures()[0];
}

TEST_F(AutopilotTest, APageAfterTheLastStepFails) {
  Start("");
  RunFromWorker(kQuitOnlyPage, [this] { return HasFailed(); });
  ASSERT_EQ(Failures().size(), 1u);
  EXPECT_NE(Failures()[0].find("no step left"), std::string::npos) << Failures()[0];
}

using AutopilotDeathTest = AutopilotTest;

TEST_F(AutopilotDeathTest, ADisabledControlEndsTheProgramWithExitCodeThree) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::string error;
        auto steps = ParseAutopilotScript("900 press 1\n", &error);
        Autopilot autopilot(std::move(*steps), AutopilotOptions{});  // the program's own fail handler
        host_->AddObserver(&autopilot);
        autopilot.Start();
        std::thread driver([&] { host_->RunPage(kAckPage); });
        driver.detach();
        PumpUntil([] { return false; }, std::chrono::milliseconds(20000));
      },
      ::testing::ExitedWithCode(3), "autopilot: cannot click control 1 of page 900: the control is disabled");
}

}  // namespace
}  // namespace corvash::pages::test
