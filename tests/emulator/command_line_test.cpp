// k5210-emu's command line, run in-process: exit codes, the one-line
// complaints, and what `show` prints.
#include "emulator/command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "emulator/emulated_handheld.h"
#include "emulator/handheld_state.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder();
    std::ostringstream out, err;
    const std::string state = State();
    const char* argv[] = {"k5210-emu", "init", state.c_str(), "--language", "GER"};
    ASSERT_EQ(RunCommandLine(5, argv, out, err), 0) << err.str();
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::string State() { return (folder_->Path() / "state").string(); }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), "k5210-emu");
    std::vector<const char*> argv;
    for (const auto& arg : args) argv.push_back(arg.c_str());
    out_.str("");
    err_.str("");
    return RunCommandLine(static_cast<int>(argv.size()), argv.data(), out_, err_);
  }
  // Whether standard error holds exactly one line.
  bool OneErrorLine() const {
    const std::string text = err_.str();
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
  }

  static test::TempFolder* folder_;
  std::ostringstream out_, err_;
};

test::TempFolder* CommandLineTest::folder_ = nullptr;

TEST_F(CommandLineTest, UsageErrorsExitTwoWithOneLine) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"dance"},
      {"init"},
      {"init", State() + "/x", "--variant", "ABC"},
      {"run", State()},
      {"run", State(), "--prefix", "p", "--port", "com3"},
      {"ctl", State(), "dance"},
      {"fault", State(), "explode"},
      {"fault", State(), "drop-after-records"},
      {"fault", State(), "drop-after-records", "x"},
      {"show", State()},
      {"show", State(), "--screen", "--flash", "a0000000", "10"},
      {"show", State(), "--flash", "a0000000", "zz"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), 2) << (args.empty() ? "" : args[0]);
    EXPECT_TRUE(OneErrorLine()) << err_.str();
  }
}

TEST_F(CommandLineTest, UnusableStateExitsTwo) {
  const std::string missing = (folder_->Path() / "nothing").string();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"show", missing, "--screen"}, {"ctl", missing, "bootloader"}, {"fault", missing, "silent"},
           {"run", missing, "--prefix", (folder_->Path() / "p").string()}}) {
    EXPECT_EQ(Run(args), 2) << args[0];
    EXPECT_TRUE(OneErrorLine()) << err_.str();
  }
}

TEST_F(CommandLineTest, FaultNeedsARunningHandheld) {
  EXPECT_EQ(Run({"fault", State(), "silent"}), 2);
  EXPECT_NE(err_.str().find("no handheld runs"), std::string::npos);
}

TEST_F(CommandLineTest, ShowFlashPrintsAddressedHexRowsOrRawBytes) {
  ASSERT_EQ(Run({"show", State(), "--flash", "A0040100", "28"}), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "a0040100  51 00 75 00 6f 00 72 00 20 00 35 00 32 00 31 00  |Q.u.o.r. .5.2.1.|\n"
            "a0040110  30 00 4e 00 42 00 54 00 47 00 45 00 52 00 32 00  |0.N.B.T.G.E.R.2.|\n"
            "a0040120  2e 00 30 00 34 00 00 00                          |..0.4...|\n");
  ASSERT_EQ(Run({"show", State(), "--flash", "0xa0040100", "0x6", "--raw"}), 0);
  EXPECT_EQ(out_.str(), std::string("Q\0u\0o\0", 6));
}

TEST_F(CommandLineTest, ShowScreenPrintsEveryRow) {
  ASSERT_EQ(Run({"show", State(), "--screen"}), 0);
  EXPECT_EQ(out_.str(), std::string(20, '\n'));
}

TEST_F(CommandLineTest, CtlWithoutAServerChangesTheStateForTheNextRun) {
  ASSERT_EQ(Run({"ctl", State(), "battery"}), 0) << err_.str();
  ASSERT_EQ(Run({"ctl", State(), "bootloader"}), 0) << err_.str();
  HandheldConfig config;
  std::string error;
  ASSERT_TRUE(StateFolder(State()).Load(&config, &error));
  EXPECT_EQ(config.mode, HandheldMode::BootLoader);
  EXPECT_EQ(config.power, PowerSource::Battery);
  ASSERT_EQ(Run({"ctl", State(), "mains"}), 0);
}

TEST_F(CommandLineTest, RequestsReachAServedHandheldAndInitRefusesIt) {
  std::string error;
  auto handheld = EmulatedHandheld::Open(State(), &error);
  ASSERT_TRUE(handheld) << error;
  ASSERT_TRUE(handheld->Start(folder_->Path() / "prefix", "com2", &error)) << error;
  EXPECT_EQ(Run({"ctl", State(), "system"}), 0) << err_.str();
  EXPECT_EQ(handheld->Mode(), HandheldMode::System);
  EXPECT_EQ(Run({"fault", State(), "no-record-request", "3"}), 0) << err_.str();
  EXPECT_EQ(Run({"init", State()}), 2);
  EXPECT_TRUE(OneErrorLine());
  handheld->Stop();
}

}  // namespace
}  // namespace corvash::emulator
