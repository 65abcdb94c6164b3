// The k5210-emu program itself: `run` says where its port is, serves until
// `ctl off` or SIGTERM, and exits 0.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/local_socket.h"
#include "emulator/served_prefix.h"
#include "rapi/socket_remote_api.h"
#include "tests/emulator/child_process.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

using test::Child;

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
  // Deeper than a socket address can name, as a build tree's state folders
  // often are: the handheld's sockets must still be served and reached.
  static std::string State() { return (Deep() / "state").string(); }
  static std::filesystem::path Deep() { return folder_->Path() / std::string(120, 'd'); }
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
  EXPECT_FALSE(std::filesystem::exists(Deep() / "state" / "control.sock"));
}

// Two handhelds, one prefix: the second is refused while the first serves;
// once the first is dead, the second takes the prefix over.
TEST(ServedPrefixTest, ASecondRunOnAServedPrefixIsRefusedUntilTheFirstIsGone) {
  test::TempFolder folder;
  const std::string first = (folder.Path() / "first").string(), second = (folder.Path() / "second").string();
  const std::filesystem::path prefix = folder.Path() / "prefix", socket = prefix / "rapi.sock";
  ASSERT_EQ(RunTool({"init", first}) + RunTool({"init", second}), 0);
  const auto linkable = [&] {
    rapi::SocketRemoteApi desktop(socket);
    rapi::RapiInitRecord init;
    desktop.CeRapiInitEx(init);
    return init.heRapiInit->Wait(test::kChildLimitMs);
  };
  Child serving({K5210_EMU_PATH, "run", first, "--prefix", prefix.string()});
  ASSERT_EQ(serving.ReadLine().rfind("ready ", 0), 0u);
  ASSERT_TRUE(linkable());
  EXPECT_EQ(RunTool({"run", second, "--prefix", prefix.string(), "--port", "com1"}), 2);
  EXPECT_TRUE(std::filesystem::equivalent(ReadServedHandheld(prefix).value().state, first));
  EXPECT_TRUE(linkable());

  ::kill(serving.Pid(), SIGKILL);  // dead without a word: what it leaves is stale
  EXPECT_EQ(serving.Wait(), 128 + SIGKILL);
  while (common::LocalSocketServed(socket)) common::SleepMs(10);
  Child next({K5210_EMU_PATH, "run", second, "--prefix", prefix.string()});
  EXPECT_EQ(next.ReadLine().rfind("ready ", 0), 0u);
  EXPECT_TRUE(linkable());
  EXPECT_TRUE(std::filesystem::equivalent(ReadServedHandheld(prefix).value().state, second));
}

}  // namespace
}  // namespace corvash::emulator
