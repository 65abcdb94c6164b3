// The sync-process control against real processes: copies of a sleeping
// program under names of their own (the sync software's own names would
// reach the emulated handheld of a test running beside), found by path, by
// image name or by their windows, and the restart of the connection program from system.reg.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/clock.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"

namespace corvash::device {

using handheld::QueryWindowsFamily;
using handheld::RestartActiveSync;
using handheld::TerminateProcessByName;

namespace {

namespace fs = std::filesystem;

class ActiveSyncControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvash-sync-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    setenv("CORVASH_PREFIX", prefix_.c_str(), 1);
    common::SetTimeScale(0.01);
  }
  void TearDown() override {
    for (pid_t pid : children_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    common::SetTimeScale(0);
    unsetenv("CORVASH_PREFIX");
    fs::remove_all(prefix_);
  }

  void SetVersion(const std::string& version) {
    std::ofstream(prefix_ / "system.reg")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
        << "\"CurrentVersion\"=\"" << version << "\"\n";
  }
  // A sleeping program at `folder`/`name`.
  pid_t Start(const std::string& folder, const std::string& name) {
    fs::create_directories(prefix_ / folder);
    const fs::path program = prefix_ / folder / name;
    if (!fs::exists(program)) fs::copy_file("/bin/sleep", program);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl(program.c_str(), name.c_str(), "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    children_.push_back(pid);
    // Wait until the kernel reports the new image.
    for (int i = 0; i < 500 && fs::read_symlink("/proc/" + std::to_string(pid) + "/exe") != program; ++i) {
      ::usleep(2000);
    }
    return pid;
  }
  static bool Ended(pid_t pid) {
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return true;
      ::usleep(2000);
    }
    return false;
  }
  static bool Running(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

  fs::path prefix_;
  std::vector<pid_t> children_;
};

TEST_F(ActiveSyncControlTest, EndsOnlyTheFirstMatchByPathOrByImageName) {
  SetVersion("5.1");  // found by executable path
  const pid_t first = Start("a", "probecomm.exe");
  const pid_t second = Start("b", "probecomm.exe");
  const pid_t other = Start("c", "probemgr.exe");
  TerminateProcessByName("PROBECOMM.EXE", QueryWindowsFamily());
  EXPECT_TRUE(Ended(first));
  EXPECT_TRUE(Running(second));
  EXPECT_TRUE(Running(other));

  SetVersion("6.1");  // found by image name
  TerminateProcessByName("probecomm.exe", QueryWindowsFamily());
  EXPECT_TRUE(Ended(second));
  EXPECT_TRUE(Running(other));
}

TEST_F(ActiveSyncControlTest, WindowFamilyEndsTheOwnersOfTheSyncWindows) {
  SetVersion("4.0");
  const pid_t manager = Start("a", "mgr");
  const pid_t thunk = Start("b", "thunk");
  const pid_t bystander = Start("c", "other");
  fs::create_directories(prefix_ / "toplevel");
  std::ofstream(prefix_ / "toplevel" / (std::to_string(bystander) + ".1")) << "Editor";
  std::ofstream(prefix_ / "toplevel" / (std::to_string(manager) + ".1")) << "dccman";
  std::ofstream(prefix_ / "toplevel" / (std::to_string(thunk) + ".1")) << "WCES Manager Thunk Window";
  TerminateProcessByName("whatever.exe", QueryWindowsFamily());  // the name plays no part here
  EXPECT_TRUE(Ended(manager));
  EXPECT_TRUE(Ended(thunk));
  EXPECT_TRUE(Running(bystander));
}

TEST_F(ActiveSyncControlTest, RestartStartsTheConnectionProgramOfAppPaths) {
  const fs::path marker = prefix_ / "started";
  const fs::path program = prefix_ / "wcescomm.sh";
  std::ofstream(program) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
  fs::permissions(program, fs::perms::owner_all);
  RestartActiveSync();  // no system.reg: nothing starts, nothing breaks
  std::ofstream(prefix_ / "system.reg")
      << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESCOMM.EXE]\n"
      << "@=\"" << program.string() << "\"\n";
  RestartActiveSync();
  for (int i = 0; i < 500 && !fs::exists(marker); ++i) ::usleep(2000);
  EXPECT_TRUE(fs::exists(marker));
}

}  // namespace
}  // namespace corvash::device
