// The corvash program under the autopilot: exit codes, the reason on
// standard error, the transcript, and offscreen pages without a display. An
// empty prefix makes the wizard stop at its first check (FEHLER 115, the
// sync software is missing), which is enough to drive one page.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace corvash::pages {
namespace {

namespace fs = std::filesystem;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(CORVASH_PROGRAM).empty()) GTEST_SKIP() << "corvash is built without the wizard driver";
    folder_ = fs::path(::testing::TempDir()) / ("corvash_program_" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "prefix");
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
    return folder_ / name;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(folder_ / name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs corvash without a display; returns its exit code.
  int Run(const std::string& autopilot, const std::string& transcript = "") {
    std::string command = "cd '" + folder_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM" +
                          " CORVASH_PREFIX='" + (folder_ / "prefix").string() + "'" +
                          " CORVASH_AUTOPILOT='" + autopilot + "'";
    if (!transcript.empty()) command += " CORVASH_TRANSCRIPT='" + transcript + "'";
    command += " '" + std::string(CORVASH_PROGRAM) + "' > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path folder_;
};

TEST_F(ProgramTest, ScriptedRunEndsWithTheDriversCodeAndATranscript) {
  const fs::path script = Write("run.txt", "# the only page of this run\n165 press 1175\n");
  ASSERT_EQ(Run(script.string(), (folder_ / "transcript.txt").string()), 0) << Read("err.txt");
  const std::string transcript = Read("transcript.txt");
  EXPECT_EQ(transcript.rfind("open 165\ntext 1172 \"FEHLER 115: UNGÜLTIGE VERSION VON ACTIVESYNC\"\n", 0), 0u)
      << transcript;
  EXPECT_NE(transcript.find("text 1174 \"Klicken Sie auf \\\"Beenden\\\", um das Programm zu beenden.\"\n"),
            std::string::npos)
      << transcript;
  EXPECT_TRUE(transcript.ends_with("end 165 1\n")) << transcript;
}

TEST_F(ProgramTest, APageWithoutAStepEndsTheRunWithExitCodeThree) {
  // Enter on a screen that ignores it: the screen stays, and the script is over.
  const fs::path script = Write("run.txt", "165 press 1\n");
  EXPECT_EQ(Run(script.string()), 3);
  EXPECT_NE(Read("err.txt").find("page 165 needs its user, but the script has no step left"), std::string::npos)
      << Read("err.txt");
}

TEST_F(ProgramTest, AnUnreadableOrMalformedScriptEndsWithExitCodeThree) {
  EXPECT_EQ(Run((folder_ / "missing.txt").string()), 3);
  EXPECT_NE(Read("err.txt").find("cannot read the script"), std::string::npos) << Read("err.txt");

  const fs::path script = Write("bad.txt", "165 push 1175\n");
  EXPECT_EQ(Run(script.string()), 3);
  EXPECT_NE(Read("err.txt").find("script line 1: unknown action \"push\""), std::string::npos) << Read("err.txt");
}

TEST_F(ProgramTest, AStepForAPageThatIsNotShownFailsAtOnce) {
  const fs::path script = Write("run.txt", "103 check 1203\n103 press 1\n");
  EXPECT_EQ(Run(script.string()), 3);
  EXPECT_NE(Read("err.txt").find("page 165 needs its user, but the next step is line 1 (103 check 1203)"),
            std::string::npos)
      << Read("err.txt");
}

}  // namespace
}  // namespace corvash::pages
