// The desktop sync software's stand-ins as the desktop meets them, with the
// real k5210-emu, wcescomm.exe and wcesmgr.exe in a prefix of their own: two
// processes under those names that hold the port and serve rapi.sock, that
// the desktop can kill and bring back through the App Paths value, and that
// go quiet when the handheld leaves its system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/hive.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"
#include "desktop/platform/serial_port.h"
#include "rapi/socket_remote_api.h"
#include "tests/emulator/child_process.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

namespace fs = std::filesystem;
using test::Child;

constexpr uint32_t kLimitMs = 3000000;
constexpr const char* kComm = "wcescomm.exe";
constexpr const char* kManager = "wcesmgr.exe";

std::string FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Whether process `dir` has `entry` in its environment.
bool HasEnvironment(const fs::path& dir, const std::string& entry) {
  std::ifstream in(dir / "environ", std::ios::binary);
  for (std::string item; std::getline(in, item, '\0');) {
    if (item == entry) return true;
  }
  return false;
}

// The processes whose image name is `name` and whose executable path contains
// it, as the desktop lists them, of `prefix` only (by their environment):
// other tests may run theirs at the same time.
std::vector<pid_t> Running(const std::string& name, const fs::path& prefix) {
  std::vector<pid_t> found;
  std::error_code code;
  for (const auto& entry : fs::directory_iterator("/proc", code)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (FirstLine(entry.path() / "comm") != name) continue;
    std::error_code linkError;
    const std::string executable = fs::read_symlink(entry.path() / "exe", linkError).string();
    if (!linkError && executable.find(name) == std::string::npos) continue;
    if (!HasEnvironment(entry.path(), "CORVASH_PREFIX=" + prefix.string())) continue;
    found.push_back(std::stoi(pid));
  }
  return found;
}

// Waits until `done` holds or the limit passes; whether it holds.
template <typename Condition>
bool WaitUntil(Condition done) {
  const auto deadline = common::DeadlineAfter(kLimitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    common::SleepMs(10);
  }
  return true;
}

class SyncSoftwareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Tool({"init", State()}), 0);
    fs::create_directories(Prefix());
  }
  void TearDown() override {
    if (run_) {
      ::kill(run_->Pid(), SIGTERM);
      EXPECT_EQ(run_->Wait(), 0);
    }
  }
  std::string State() const { return (folder_.Path() / "state").string(); }
  fs::path Prefix() const { return folder_.Path() / "prefix"; }
  fs::path Port() const { return Prefix() / "dosdevices" / "wceusbsh001"; }
  std::vector<std::string> Environment() const { return {"CORVASH_PREFIX=" + Prefix().string()}; }

  int Tool(std::vector<std::string> args) {
    args.insert(args.begin(), K5210_EMU_PATH);
    return Child(args).Wait();
  }
  void Run() {
    run_.emplace(std::vector<std::string>{K5210_EMU_PATH, "run", State(), "--prefix", Prefix().string()});
    ASSERT_EQ(run_->ReadLine().rfind("ready ", 0), 0u);
  }
  std::vector<pid_t> Running(const std::string& name) const { return emulator::Running(name, Prefix()); }
  bool BothRun() const { return Running(kComm).size() == 1 && Running(kManager).size() == 1; }
  bool NoneRuns() const { return Running(kComm).empty() && Running(kManager).empty(); }
  // Both run and show their windows, which is how the oldest family finds them.
  bool BothShowTheirWindows() const {
    for (const char* name : {kComm, kManager}) {
      const std::vector<pid_t> pids = Running(name);
      if (pids.size() != 1 || !fs::exists(Prefix() / "toplevel" / (std::to_string(pids.front()) + ".1"))) return false;
    }
    return true;
  }
  // Whether the desktop's own exclusive open of the port succeeds.
  bool PortFree() {
    auto opened = platform::OpenSerialPort(Port());
    if (opened.port) opened.port->Close();
    return opened.port != nullptr;
  }
  // The port's exclusive mark, which keeps out the desktop when it does not run as root.
  bool Exclusive() {
    const int fd = ::open(Port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int exclusive = 0;
    const bool known = fd >= 0 && ::ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    if (fd >= 0) ::close(fd);
    return known && exclusive != 0;
  }
  bool Answers() {
    rapi::SocketRemoteApi desktop(Prefix() / "rapi.sock");
    rapi::RapiInitRecord init;
    rapi::CePowerStatus status;
    return desktop.CeRapiInitEx(init) == rapi::S_OK && init.heRapiInit->Wait(1000) &&
           desktop.CeGetSystemPowerStatusEx(status, 1) != 0;
  }

  test::TempFolder folder_;
  std::optional<Child> run_;
};

TEST_F(SyncSoftwareTest, HoldThePortAndServeUntilKilledAndComeBackThroughTheirProgram) {
  Run();
  ASSERT_TRUE(BothRun());
  EXPECT_TRUE(Exclusive());
  EXPECT_FALSE(PortFree());
  EXPECT_TRUE(Answers());
  for (const char* name : {kComm, kManager}) {
    const pid_t pid = Running(name).front();
    EXPECT_EQ(FirstLine(Prefix() / "toplevel" / (std::to_string(pid) + ".1")),
              name == kComm ? "WCES Manager Thunk Window" : "DccMan");
  }

  // The desktop's stop: both killed outright.
  for (const char* name : {kManager, kComm}) ::kill(Running(name).front(), SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return NoneRuns(); }));
  EXPECT_TRUE(WaitUntil([&] { return !Exclusive(); }));  // the killed holder left its mark
  EXPECT_TRUE(PortFree());
  EXPECT_FALSE(Answers());

  // The desktop's restart: the App Paths program, without arguments.
  const std::string program = (fs::path(K5210_EMU_PATH).parent_path() / kComm).string();
  Child comm({program}, Environment());
  ASSERT_TRUE(WaitUntil([&] { return BothRun(); }));
  EXPECT_EQ(Running(kComm).front(), comm.Pid());
  EXPECT_TRUE(WaitUntil([&] { return Answers(); }));
  EXPECT_FALSE(PortFree());
  // A second start while one runs ends at once and changes nothing.
  EXPECT_EQ(Child({program}, Environment()).Wait(), 0);
  EXPECT_TRUE(BothRun());

  // The end of run ends them too, their windows with them.
  const fs::path managerWindow = Prefix() / "toplevel" / (std::to_string(Running(kManager).front()) + ".1");
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(managerWindow); }));
  ::kill(run_->Pid(), SIGTERM);
  EXPECT_EQ(run_->Wait(), 0);
  run_.reset();
  EXPECT_EQ(comm.Wait(), 0);
  EXPECT_TRUE(WaitUntil([&] { return NoneRuns(); }));
  EXPECT_FALSE(fs::exists(managerWindow));
  EXPECT_FALSE(fs::exists(Prefix() / "toplevel" / (std::to_string(comm.Pid()) + ".1")));
  EXPECT_FALSE(fs::exists(Prefix() / "k5210-state"));
}

TEST_F(SyncSoftwareTest, BootLoaderSilencesTheRemoteApiWhileTheProcessesStay) {
  ASSERT_EQ(Tool({"ctl", State(), "bootloader"}), 0);
  Run();
  EXPECT_TRUE(NoneRuns());  // started with the system only
  ASSERT_EQ(Tool({"ctl", State(), "system"}), 0);
  ASSERT_TRUE(BothRun());
  EXPECT_TRUE(Answers());
  const std::vector<pid_t> comm = Running(kComm);

  ASSERT_EQ(Tool({"ctl", State(), "bootloader"}), 0);
  EXPECT_FALSE(Answers());
  EXPECT_EQ(Running(kComm), comm);
  EXPECT_FALSE(PortFree());
  ASSERT_EQ(Tool({"ctl", State(), "system"}), 0);
  EXPECT_TRUE(Answers());
  EXPECT_EQ(Running(kComm), comm);

  // A pulled cable takes the port away; a new one is held again.
  ASSERT_EQ(Tool({"ctl", State(), "unplug"}), 0);
  EXPECT_FALSE(Answers());
  ASSERT_EQ(Tool({"ctl", State(), "plug"}), 0);
  EXPECT_FALSE(PortFree());
  EXPECT_TRUE(Answers());

  ASSERT_EQ(Tool({"ctl", State(), "off"}), 0);
  EXPECT_EQ(run_->Wait(), 0);
  run_.reset();
  EXPECT_TRUE(WaitUntil([&] { return NoneRuns(); }));
}

TEST_F(SyncSoftwareTest, RunAddsTheMissingRegistryEntriesAndDropsWindowsOfEndedProcesses) {
  {
    std::ofstream hive(Prefix() / "system.reg");
    hive << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows CE Services]\n"
            "\"MajorVersion\"=dword:00000004\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"5.1\"\n";
  }
  fs::create_directories(Prefix() / "toplevel");
  const fs::path stale = Prefix() / "toplevel" / "2147483000.1";  // beyond any process id
  const fs::path live = Prefix() / "toplevel" / (std::to_string(::getpid()) + ".1");
  std::ofstream(stale) << "DccMan\n";
  std::ofstream(live) << "Other\n";
  Run();

  const auto hive = common::Hive::Load(Prefix() / "system.reg", "HKEY_LOCAL_MACHINE");
  const char* services = "SOFTWARE\\Microsoft\\Windows CE Services";
  EXPECT_EQ(hive.GetValue(services, "MajorVersion")->AsDword(), 4u);  // kept
  EXPECT_EQ(hive.GetValue(services, "MinorVersion")->AsDword(), 5u);
  EXPECT_EQ(hive.GetValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion")->AsText(), "5.1");
  const auto program = hive.GetValue("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESCOMM.EXE", "");
  ASSERT_TRUE(program);
  EXPECT_TRUE(fs::equivalent(program->AsText(), fs::path(K5210_EMU_PATH).parent_path() / kComm));

  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(live));
}

// The desktop's stop in this prefix while the same user serves a second
// handheld in another, whose sync software came first: each way the desktop
// finds the sync software (executable path, image name, window titles) ends
// this prefix's and leaves the other's running.
TEST_F(SyncSoftwareTest, DesktopStopEndsOnlyTheSyncSoftwareOfItsPrefix) {
  const fs::path other = folder_.Path() / "other";
  fs::create_directories(other / "prefix");
  ASSERT_EQ(Tool({"init", (other / "state").string()}), 0);
  Child otherRun({K5210_EMU_PATH, "run", (other / "state").string(), "--prefix", (other / "prefix").string()});
  ASSERT_EQ(otherRun.ReadLine().rfind("ready ", 0), 0u);
  Run();
  ::setenv("CORVASH_PREFIX", Prefix().c_str(), 1);
  const std::string program = (fs::path(K5210_EMU_PATH).parent_path() / kComm).string();
  for (const char* version : {"5.1", "6.1", "4.0"}) {
    std::ofstream(Prefix() / "system.reg")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\""
        << version << "\"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESCOMM.EXE]\n@=\""
        << program << "\"\n";
    if (!BothRun()) handheld::RestartActiveSync();
    ASSERT_TRUE(WaitUntil([&] { return BothShowTheirWindows(); })) << version;
    handheld::StopActiveSync(handheld::QueryWindowsFamily());
    EXPECT_TRUE(WaitUntil([&] { return NoneRuns(); })) << version;
    EXPECT_EQ(emulator::Running(kComm, other / "prefix").size(), 1u) << version;
    EXPECT_EQ(emulator::Running(kManager, other / "prefix").size(), 1u) << version;
  }
  ::unsetenv("CORVASH_PREFIX");
  ::kill(otherRun.Pid(), SIGTERM);
  EXPECT_EQ(otherRun.Wait(), 0);
}

}  // namespace
}  // namespace corvash::emulator
