// Program start: single instance, text table and link kind before the first
// page, the run's folders and the marker file.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "desktop/app/driver/program_start.h"
#include "desktop/app/driver/run_paths.h"
#include "desktop/app/driver/unlinked_operations.h"
#include "common/clock.h"
#include "desktop/platform/instance_lock.h"
#include "desktop/platform/prefix.h"
#include "rapi/socket_remote_api.h"
#include "tests/driver/driver_fixture.h"

namespace corvash::driver::doubles {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CountingTexts : public PageTexts {
 public:
  void LoadPageTexts() override { ++loads; }
  int loads = 0;
};

class ProgramStartTest : public DriverTest {
 protected:
  int Run() { return RunProgram(host, run, texts, ops.Bind()); }
  CountingTexts texts;
};

TEST_F(ProgramStartTest, SecondStartEndsAtOnceShowingNothing) {
  platform::InstanceLock first(platform::InstanceLockPath());
  ASSERT_TRUE(first.TryAcquire());

  EXPECT_EQ(Run(), 0);

  EXPECT_THAT(host.log, IsEmpty());
  EXPECT_EQ(texts.loads, 0);
  EXPECT_EQ(ops.settings.reads, 0);
}

TEST_F(ProgramStartTest, ALockFileThatCannotBeOpenedStopsTheStart) {
  std::filesystem::create_directories(platform::InstanceLockPath());  // a folder in its place
  ::testing::internal::CaptureStderr();
  EXPECT_NE(Run(), 0);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_THAT(host.log, IsEmpty());
}

TEST_F(ProgramStartTest, TextsAndSerialLinkAreReadyBeforeTheFirstPage) {
  run.serialLink = 0;
  int loadsAtFirstPage = -1;
  uint32_t serialLinkAtFirstPage = 99;
  host.onOpen = [&](int) {
    if (loadsAtFirstPage >= 0) return;
    loadsAtFirstPage = texts.loads;
    serialLinkAtFirstPage = run.serialLink.load();
  };
  host.Then(kPageWelcome, Cancel(kPageWelcome));

  EXPECT_EQ(Run(), 0);

  EXPECT_EQ(loadsAtFirstPage, 1);
  EXPECT_EQ(serialLinkAtFirstPage, 1u);
  ExpectRunClosed();
}

TEST_F(ProgramStartTest, LockIsFreeAgainAfterTheRun) {
  host.Then(kPageWelcome, Cancel(kPageWelcome));
  Run();
  platform::InstanceLock next(platform::InstanceLockPath());
  EXPECT_TRUE(next.TryAcquire());
}

TEST_F(ProgramStartTest, WaitBoxIsClosedWhenTheRunEndsOnAnOperationsScreen) {
  api.linked = false;
  ops.bootLink.loaderAnswers = true;
  ops.images.besideProgram.clear();  // FEHLER 103 while the wait box is up
  Run();
  EXPECT_THAT(host.Screens(), ElementsAre(kScreenImageNotFound));
  EXPECT_FALSE(host.WaitBoxOpen());
}

TEST_F(ProgramStartTest, WithNothingLinkedTheRunEndsOnConnectionError) {
  // Nothing linked: no sync link, so the start never signals.
  uint64_t connectPageAt = 0;
  uint64_t screenAt = 0;
  host.onOpen = [&](int page) {
    if (page == kPageConnect) connectPageAt = common::TickMs();
    if (page == kScreenConnectionError) screenAt = common::TickMs();
  };

  EXPECT_EQ(RunProgram(host, run), 0);

  EXPECT_THAT(host.log, ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kWaitBoxShown, kWaitBoxClosed,
                                    kScreenConnectionError));
  EXPECT_GE(screenAt - connectPageAt, 2990u);
  ExpectRunClosed();
}

TEST_F(ProgramStartTest, ASyncLinkThatNeverAcceptsEndsOnConnectionErrorInBoundedTime) {
  // Its listener never accepts and its backlog is full: a blocking connect would wait for ever.
  sockaddr_un address{AF_UNIX, {}};
  std::strncpy(address.sun_path, (platform::PrefixDir() / "rapi.sock").c_str(), sizeof address.sun_path - 1);
  const auto* name = reinterpret_cast<const sockaddr*>(&address);
  std::vector<int> fds = {::socket(AF_UNIX, SOCK_STREAM, 0)};
  ASSERT_EQ(::bind(fds[0], name, sizeof address) | ::listen(fds[0], 0), 0);
  do fds.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
  while (::connect(fds.back(), name, sizeof address) == 0);
  ASSERT_EQ(errno, EAGAIN);
  rapi::SocketRemoteApi api(platform::PrefixDir() / "rapi.sock");
  handheld::RemoteSession remote(api);
  UnlinkedOperations unlinked;
  const WizardOperations& nothing = unlinked.Operations();
  const WizardOperations linked{nothing.settings, nothing.images, nothing.device, nothing.bootLink, remote};
  EXPECT_EQ(RunProgram(host, run, unlinked.Texts(), linked), 0);
  EXPECT_THAT(host.log, ElementsAre(kPageWelcome, kPagePrepare, kPageConnect, kWaitBoxShown, kWaitBoxClosed,
                                    kScreenConnectionError));
  for (int fd : fds) ::close(fd);
}

class RunPathsTest : public DriverTest {};

TEST_F(RunPathsTest, MarkerLiesInThePrefixWindowsFolder) {
  SetUpRunPaths(run.paths);
  const session::UpdateSession& s = run;
  EXPECT_EQ(common::TextOf(s.paths.windowsDir), (prefix_ / "windows").string());
  EXPECT_EQ(common::TextOf(s.paths.markerPath), MarkerFile().string());
  EXPECT_EQ(common::TextOf(s.paths.programDir), std::filesystem::current_path().string());
}

TEST_F(RunPathsTest, ReadOnlyMarkerIsRemoved) {
  std::ofstream(MarkerFile()) << "x";
  ASSERT_EQ(chmod(MarkerFile().c_str(), 0444), 0);
  SetUpRunPaths(run.paths);
  RemoveMarker(run.paths);
  EXPECT_FALSE(std::filesystem::exists(MarkerFile()));
}

TEST_F(RunPathsTest, MissingMarkerOrAFolderOfThatNameIsLeftAlone) {
  SetUpRunPaths(run.paths);
  RemoveMarker(run.paths);  // nothing there: no fault
  std::filesystem::create_directories(MarkerFile());
  RemoveMarker(run.paths);
  EXPECT_TRUE(std::filesystem::is_directory(MarkerFile()));
}

TEST_F(RunPathsTest, MarkerPathThatDoesNotFitIsNotCutToAnotherFile) {
  // A prefix whose windows folder takes 250 bytes: its marker path needs 261.
  std::filesystem::path deep = prefix_;
  while ((deep / "windows").string().size() < 250) {
    const size_t missing = 250 - (deep / "windows").string().size();
    deep /= std::string(std::min<size_t>(missing > 1 ? missing - 1 : 1, 100), 'd');
  }
  ASSERT_EQ((deep / "windows").string().size(), 250u);
  setenv("CORVASH_PREFIX", deep.c_str(), 1);
  std::filesystem::create_directories(deep / "windows");
  // What the marker path would be if it were cut to its field.
  const std::filesystem::path cutName = deep / "windows" / "MERLIX.Z";
  ASSERT_EQ(cutName.string().size(), 259u);
  std::ofstream(cutName) << "keep";

  SetUpRunPaths(run.paths);
  RemoveMarker(run.paths);

  EXPECT_EQ(common::TextOf(run.paths.markerPath), "");
  EXPECT_TRUE(std::filesystem::exists(cutName));
}

}  // namespace
}  // namespace corvash::driver::doubles
