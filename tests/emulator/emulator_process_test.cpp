// The k5210-emu program itself: `run` says where its port is, serves until
// `ctl off` or SIGTERM, and exits 0.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/clock.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

constexpr uint32_t kLimitMs = 500000;

// A child process whose standard output is read through a pipe.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    // Everything the child needs is made before the fork.
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipe_fds[1], STDOUT_FILENO);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipe_fds[1]);
    out_ = pipe_fds[0];
  }
  ~Child() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  // One line of its output, without the LF; empty when none came in time.
  std::string ReadLine() {
    std::string line;
    const auto deadline = platform::DeadlineAfter(kLimitMs);
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd fds{out_, POLLIN, 0};
      if (::poll(&fds, 1, 100) <= 0) continue;
      if (::read(out_, &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    return line;
  }
  // Its exit status, or -1 when it did not end in time.
  int Wait() {
    const auto deadline = platform::DeadlineAfter(kLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
      }
      platform::SleepMs(10);
    }
    return -1;
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
};

int RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), K5210_EMU_PATH);
  Child child(args);
  return child.Wait();
}

class EmulatorProcessTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder();
    ASSERT_EQ(RunTool({"init", State(), "--variant", "WBT"}), 0);
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::string State() { return (folder_->Path() / "state").string(); }
  static std::string Prefix() { return (folder_->Path() / "prefix").string(); }
  static test::TempFolder* folder_;
};

test::TempFolder* EmulatorProcessTest::folder_ = nullptr;

TEST_F(EmulatorProcessTest, RunSaysWhereItsPortIsAndCtlOffEndsIt) {
  Child run({K5210_EMU_PATH, "run", State(), "--prefix", Prefix(), "--port", "com2"});
  const std::string ready = run.ReadLine();
  const std::string link = Prefix() + "/dosdevices/com2";
  ASSERT_EQ(ready.rfind("ready " + link + " /dev/pts/", 0), 0u) << ready;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), ready.substr(ready.rfind(' ') + 1));
  EXPECT_EQ(RunTool({"fault", State(), "silent"}), 0);
  EXPECT_EQ(RunTool({"ctl", State(), "off"}), 0);
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(EmulatorProcessTest, SigtermEndsRunAndLeavesNoPortBehind) {
  Child run({K5210_EMU_PATH, "run", State(), "--prefix", Prefix()});
  ASSERT_EQ(run.ReadLine().rfind("ready ", 0), 0u);
  // A second server of the same handheld is refused.
  EXPECT_EQ(RunTool({"run", State(), "--prefix", Prefix(), "--port", "com1"}), 2);
  ::kill(run.Pid(), SIGTERM);
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Prefix() + "/dosdevices/wceusbsh001")));
  EXPECT_FALSE(std::filesystem::exists(folder_->Path() / "state" / "control.sock"));
}

}  // namespace
}  // namespace corvash::emulator
