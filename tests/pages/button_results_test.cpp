// Every button of every page and screen: its result and the session flag it
// sets, and that nothing else is set.
#include <string>

#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {
namespace {

using FlagField = std::atomic<uint32_t> session::WizardFlow::*;

struct ButtonCase {
  std::string name;
  int templateId;
  int command;
  int result;              // -1: the page stays open
  FlagField flag = nullptr;  // the one flag the button sets
};

std::ostream& operator<<(std::ostream& out, const ButtonCase& c) { return out << c.name; }

constexpr FlagField kAllFlags[] = {
    &session::WizardFlow::cancelled,       &session::WizardFlow::backFromPrepare,
    &session::WizardFlow::backFromConnect, &session::WizardFlow::backFromOptions,
    &session::WizardFlow::backFromConfirm, &session::WizardFlow::backFromReady,
    &session::WizardFlow::backFromBootInstructions,
};

// A backup that runs until the test lets it go, so that only the button
// under test can end the backup progress page.
class HeldBackup final : public BackupWorker {
 public:
  BackupEnding RunBackupWorker(session::WorkerPage&) override {
    ++started;
    while (!released.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++finished;
    return {};
  }
  std::atomic<bool> released{false};
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
};

HeldBackup& Held() {
  static HeldBackup* const backup = new HeldBackup;  // outlives worker threads at exit
  return *backup;
}

class ButtonResultTest : public PageTest, public ::testing::WithParamInterface<ButtonCase> {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    Held().released = false;
  }
  void TearDown() override {
    Held().released = true;
    EXPECT_TRUE(WaitFor([] { return Held().finished.load() == Held().started.load(); }));
    PageTest::TearDown();
  }
  CountingWorkers workers;
  const PageServices services{.backupWorker = Held(),
                              .clockSetter = workers,
                              .activeSync = workers,
                              .flashSettingsWriter = workers,
                              .linkTeardown = workers,
                              .readmeViewer = workers};
};

TEST_P(ButtonResultTest, EndsWithItsResultAndSetsOnlyItsFlag) {
  const ButtonCase& c = GetParam();
  OpenPage page(c.templateId, Run(), services);
  ASSERT_NE(page.procedure, nullptr);
  page.Press(c.command);
  if (c.result < 0) {
    EXPECT_FALSE(page.dialog.Ended());
  } else {
    EXPECT_EQ(page.Result(), c.result);
  }
  for (FlagField flag : kAllFlags) {
    EXPECT_EQ((S().flow.*flag).load(), flag == c.flag ? 1u : 0u);
  }
}

const ButtonCase kButtonCases[] = {
    {"Welcome_Cancel", 103, 2, 1, &session::WizardFlow::cancelled},
    {"Welcome_Unrelated", 103, 1030, -1},
    {"Preparation_Next", 121, 1, 0},
    {"Preparation_Cancel", 121, 2, 1, &session::WizardFlow::cancelled},
    {"Preparation_Back", 121, 1221, 1, &session::WizardFlow::backFromPrepare},
    {"Preparation_Unrelated", 121, 1035, -1},
    {"Connection_Next", 161, 1, 0},
    {"Connection_Cancel", 161, 2, 1, &session::WizardFlow::cancelled},
    {"Connection_Back", 161, 1221, 0, &session::WizardFlow::backFromConnect},
    {"Options_Update", 109, 1035, 1035},
    {"Options_Restore", 109, 1036, 1036},
    {"Options_BackupNotChosen", 109, 1030, -1},
    {"Options_Cancel", 109, 2, 1, &session::WizardFlow::cancelled},
    {"Options_Back", 109, 1221, 1, &session::WizardFlow::backFromOptions},
    {"Options_Enter", 109, 1, 0},
    {"Confirmation_Next", 124, 1, 1},
    {"Confirmation_Cancel", 124, 2, 2, &session::WizardFlow::cancelled},
    {"Confirmation_Back", 124, 1221, 2, &session::WizardFlow::backFromConfirm},
    {"Ready_Next", 130, 1, 1},
    {"Ready_Cancel", 130, 2, 2, &session::WizardFlow::cancelled},
    {"Ready_Back", 130, 1221, 2, &session::WizardFlow::backFromReady},
    {"BootMode_NextBeforeLoader", 169, 1, -1},
    {"BootMode_Cancel", 169, 2, 0, &session::WizardFlow::cancelled},
    {"BootMode_Back", 169, 1221, 0, &session::WizardFlow::backFromBootInstructions},
    {"BackupProgress_Enter", 132, 1, -1},
    {"BackupProgress_Escape", 132, 2, -1},
    {"Progress_Enter", 102, 1, -1},
    {"Progress_Escape", 102, 2, -1},
    {"Reset_Enter", 167, 1, -1},
    {"Reset_Escape", 167, 2, -1},
    {"Reset_Next", 167, 1181, 0},
    {"Finish_Done", 133, 1, 0},
    {"Finish_Escape", 133, 2, 1},
    {"WaitBox_Enter", 122, 1, 1},
    {"WaitBox_Escape", 122, 2, 2},
    {"E100_Enter", 123, 1, 0},
    {"E100_Quit", 123, 2, 1},
    {"E101_Quit", 138, 2, 1},
    {"E101_Enter", 138, 1, -1},
    {"E102_Quit", 139, 2, 1},
    {"E102_Enter", 139, 1, -1},
    {"E103_Quit", 140, 2, 1},
    {"E104_Quit", 141, 2, 1},
    {"E104_Enter", 141, 1, -1},
    {"E106_Quit", 144, 2, 1},
    {"E107_Quit", 145, 2, 1},
    {"E109_Enter", 147, 1, 0},
    {"E109_Quit", 147, 2, 1},
    {"E110_Quit", 151, 2, 1},
    {"E110_Enter", 151, 1, -1},
    {"E113_Quit", 114, 2, 1},
    {"E113_Enter", 114, 1, -1},
    {"E115_Enter", 165, 1, -1},
    {"E115_Escape", 165, 2, -1},
    {"E115_Quit", 165, 1175, 1},
    {"E116_Enter", 268, 1, -1},
    {"E116_Escape", 268, 2, -1},
    {"E116_Quit", 268, 1175, 1},
    {"E117_Enter", 269, 1, -1},
    {"E117_Escape", 269, 2, -1},
    {"E117_Quit", 269, 1175, 1},
    {"W111_Cancel", 105, 2, 1},
    {"W112_Next", 152, 1, 1},
    {"W112_Cancel", 152, 2, 2},
    {"W112_Unrelated", 152, 1175, -1},
};

INSTANTIATE_TEST_SUITE_P(AllPages, ButtonResultTest, ::testing::ValuesIn(kButtonCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace corvash::pages::testing
