// backup.exe against a handheld state folder whose flash holds a known
// pattern. The test takes the chunks as the desktop does, through the
// remote API's device end: look every 100 ms, read, close, delete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/device_errors.h"
#include "common/handheld_folder.h"
#include "common/store_file.h"
#include "rapi/device_end.h"

extern char** environ;

namespace corvash::backup::test {
namespace {

namespace fs = std::filesystem;
using rapi::wire::MessageKind;

constexpr size_t kChunk = 0x40000;
constexpr size_t kView = 0x2000000;
constexpr uint32_t kExitLimitMs = 600000;  // system ms; 6 s at the tests' scale

// The agent as a child of the test, so that its end can be awaited.
class AgentProcess {
 public:
  // Starts backup.exe over `state`; `fileSizeLimit` (bytes, 0 for none) makes
  // its writes past that size fail.
  AgentProcess(const fs::path& state, rlim_t fileSizeLimit = 0) {
    const std::string variable = std::string(common::kStateVariable) + "=" + state.string();
    pid_ = ::fork();
    if (pid_ != 0) return;
    if (fileSizeLimit != 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{fileSizeLimit, fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::putenv(const_cast<char*>(variable.c_str()));
    char* argv[] = {const_cast<char*>(BACKUP_EXE), nullptr};
    ::execve(BACKUP_EXE, argv, environ);
    ::_exit(127);
  }
  ~AgentProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  // The wait status once the agent has ended within `ms` system milliseconds.
  std::optional<int> End(uint32_t ms) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd < 0) return std::nullopt;
    pollfd watch{pidfd, POLLIN, 0};
    const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(common::ScaledDuration(ms));
    const bool ended = ::poll(&watch, 1, static_cast<int>(real.count()) + 1) == 1;
    ::close(pidfd);
    int status = 0;
    if (!ended || ::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

class BackupAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "backupXXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(Store() / "Windows");
    fs::create_directories(Store() / "Temp");
    config_.storeRoot = Store();
    config_.stateDir = dir_;
    Handheld(32, kView, 0x5EED);
  }
  void TearDown() override {
    std::error_code code;
    fs::remove_all(dir_, code);
  }

  fs::path Store() const { return dir_ / "files"; }
  fs::path ChunkFile() const { return Store() / "Temp" / "image.nb"; }

  // A handheld of `megabytes` whose flash file holds `flashBytes`, the first
  // 32 MiB of them in a pattern drawn from `seed`.
  void Handheld(int megabytes, size_t flashBytes, uint32_t seed) {
    std::ofstream(dir_ / "handheld.conf", std::ios::trunc) << "flash_mb=" << megabytes << "\n";
    flash_.resize(kView);
    uint32_t value = seed;
    for (size_t i = 0; i < kView; i += 4) {
      value = value * 1664525u + 1013904223u;
      std::memcpy(&flash_[i], &value, 4);
    }
    const int fd = ::open((dir_ / "flash.bin").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(flashBytes)), 0);
    const size_t filled = std::min(flashBytes, kView);
    ASSERT_EQ(::pwrite(fd, flash_.data(), filled, 0), static_cast<ssize_t>(filled));
    ::close(fd);
  }

  rapi::wire::Answer Ask(rapi::wire::Request request) { return desktop_.Handle(request); }

  // One chunk as the desktop takes it: looks every 100 ms, at most 501
  // times; reads, closes and deletes it. nullopt when it never came.
  std::optional<std::vector<uint8_t>> TakeChunk() {
    rapi::wire::Request open;
    open.kind = MessageKind::CreateFile;
    open.text = u"\\Temp\\image.nb";
    open.access = common::GENERIC_READ;
    open.share = common::FILE_SHARE_READ;
    open.disposition = common::OPEN_EXISTING;
    for (int look = 0; look < 501; ++look) {
      common::SleepMs(100);
      const auto opened = Ask(open);
      if (static_cast<uint32_t>(opened.result) == rapi::kInvalidHandle) continue;
      rapi::wire::Request read;
      read.kind = MessageKind::ReadFile;
      read.handle = static_cast<uint32_t>(opened.result);
      read.number = kChunk;
      std::vector<uint8_t> bytes = Ask(read).data;
      rapi::wire::Request close;
      close.kind = MessageKind::CloseHandle;
      close.handle = read.handle;
      Ask(close);
      rapi::wire::Request remove;
      remove.kind = MessageKind::DeleteFile;
      remove.text = open.text;
      EXPECT_EQ(Ask(remove).result, 1);
      return bytes;
    }
    return std::nullopt;
  }

  // Takes `count` chunks; the index of the first that is missing or differs
  // from the flash, or -1.
  int TakeImage(int count) {
    for (int k = 0; k < count; ++k) {
      const auto chunk = TakeChunk();
      if (!chunk || chunk->size() != kChunk ||
          std::memcmp(chunk->data(), flash_.data() + static_cast<size_t>(k) * kChunk, kChunk) != 0) {
        return k;
      }
    }
    return -1;
  }

  std::string DebugLog() const {
    std::ifstream in(dir_ / "debug.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
  }
  // The process that the window record of "ImageBackup" names, once it names one.
  std::optional<pid_t> RecordedAgent(pid_t expected) {
    for (int look = 0; look < 500; ++look) {
      std::ifstream record(dir_ / "windows" / "imagebackup");
      pid_t pid = 0;
      if (record >> pid && pid == expected) return pid;
      common::SleepMs(100);
    }
    return std::nullopt;
  }

  fs::path dir_;
  std::vector<uint8_t> flash_;
  rapi::DeviceEndConfig config_;
  rapi::DeviceSession desktop_{config_};
};

TEST_F(BackupAgentTest, StartedByTheDeviceEndHandsOverTheFlashIn124Chunks) {
  fs::copy_file(BACKUP_EXE, Store() / "Temp" / "backup.exe");
  rapi::wire::Request start;
  start.kind = MessageKind::CreateProcess;
  start.text = u"\\Temp\\backup.exe";
  ASSERT_EQ(Ask(start).result, 1);

  EXPECT_EQ(TakeImage(124), -1);
  // No 125th chunk: the agent ends, and its window with it.
  EXPECT_FALSE(TakeChunk());
  EXPECT_FALSE(fs::exists(dir_ / "windows" / "imagebackup"));
  const std::string log = DebugLog();
  EXPECT_EQ(Count(log, "Write File OK -- "), 124u);
  EXPECT_NE(log.find("Write File OK -- 1f00000\r\nend of backup process\r\n"), std::string::npos) << log.substr(0, 400);
  EXPECT_EQ(log.find("Terminate Pre Win"), std::string::npos);
}

TEST_F(BackupAgentTest, A64MebibyteHandheldGets128ChunksAndAnAgentThatEndsWell) {
  Handheld(64, 2 * kView, 0xB16);
  AgentProcess agent(dir_);
  EXPECT_EQ(TakeImage(128), -1);
  const auto status = agent.End(kExitLimitMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_FALSE(fs::exists(ChunkFile()));
  EXPECT_NE(DebugLog().find("Create File, size = 2000000, "), std::string::npos);
}

TEST_F(BackupAgentTest, ASecondAgentEndsTheFirstAndStartsAfresh) {
  AgentProcess first(dir_);
  ASSERT_TRUE(RecordedAgent(first.pid()));
  for (int look = 0; look < 500 && !fs::exists(ChunkFile()); ++look) common::SleepMs(100);
  ASSERT_TRUE(fs::exists(ChunkFile()));  // the first agent's chunk 0 waits

  // The flash changes before the second agent starts: its first chunk must
  // be read anew, not the first agent's left behind.
  Handheld(32, kView, 0xF00D);
  AgentProcess second(dir_);
  const auto ended = first.End(kExitLimitMs);
  ASSERT_TRUE(ended);
  EXPECT_TRUE(WIFSIGNALED(*ended) && WTERMSIG(*ended) == SIGKILL);
  ASSERT_TRUE(RecordedAgent(second.pid()));

  EXPECT_EQ(TakeImage(124), -1);
  const auto status = second.End(kExitLimitMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  const std::string log = DebugLog();
  // (the first agent may still trace between these two lines)
  const size_t in = log.find("Terminate Pre Win ----in---- \r\n");
  const size_t out = log.find("Terminate Pre Win ----out---- \r\n");
  EXPECT_TRUE(in != std::string::npos && out != std::string::npos && in < out);
  EXPECT_EQ(log.find("Terminate process fail"), std::string::npos);
  EXPECT_EQ(log.find("Delete File Fail"), std::string::npos);
}

TEST_F(BackupAgentTest, AWindowRecordLeftByAnEndedAgentEndsNobody) {
  // A record naming a process that runs now, but not since the time recorded:
  // the process id was given again after the agent that owned it ended.
  const pid_t bystander = ::fork();
  if (bystander == 0) {
    ::pause();
    ::_exit(0);
  }
  fs::create_directories(dir_ / "windows");
  std::ofstream(dir_ / "windows" / "imagebackup") << bystander << " 1\n";
  AgentProcess agent(dir_);
  EXPECT_EQ(TakeImage(124), -1);
  const auto status = agent.End(kExitLimitMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_EQ(::waitpid(bystander, nullptr, WNOHANG), 0);  // still running
  ::kill(bystander, SIGKILL);
  ::waitpid(bystander, nullptr, 0);
  EXPECT_EQ(DebugLog().find("Terminate Pre Win"), std::string::npos);
}

TEST_F(BackupAgentTest, AChunkNeverTakenMakesTheAgentGiveUpAfter2001Attempts) {
  const uint64_t started = common::TickMs();
  AgentProcess agent(dir_);
  const auto status = agent.End(kExitLimitMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_GE(common::TickMs() - started, 2001u * 100u);  // the waits are not cut short
  const std::string log = DebugLog();
  EXPECT_EQ(Count(log, "Create File, size = 1f00000, "), 1u + 2001u);
  EXPECT_TRUE(log.ends_with("\r\nCreate File, fail and error code = 80\r\n")) << log.substr(log.size() - 120);
  EXPECT_TRUE(fs::exists(ChunkFile()));  // chunk 0, never taken
}

TEST_F(BackupAgentTest, NoChunkAfterAFailedWriteAndNoneWithoutAFlashView) {
  {
    AgentProcess agent(dir_, 0x30000);
    const auto chunk = TakeChunk();
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->size(), 0x30000u);
    const auto status = agent.End(kExitLimitMs);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    const std::string log = DebugLog();
    EXPECT_EQ(Count(log, "Write data error, v_pFlashIndex = "), 1u);
    EXPECT_EQ(Count(log, "Create File, size = "), 1u);
    EXPECT_FALSE(fs::exists(ChunkFile()));
  }
  // A flash file shorter than the view: the agent ends at once, offering nothing.
  fs::remove(dir_ / "debug.log");
  Handheld(16, kView / 2, 1);
  AgentProcess agent(dir_);
  const auto status = agent.End(kExitLimitMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_FALSE(fs::exists(ChunkFile()));
  EXPECT_EQ(DebugLog().find("Create File"), std::string::npos);
}

}  // namespace
}  // namespace corvash::backup::test
