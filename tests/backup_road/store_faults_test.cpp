// The handheld's faults that the backup road's tests arm, where they act:
// refuse-file in the file store's create path, for the desktop (through the
// remote API's device end) and the device programs (the real backup.exe)
// alike, each creation counted once; refuse-time as `k5210-emu fault` leaves
// it for the handheld's set-system-time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/device_errors.h"
#include "common/handheld_folder.h"
#include "common/store_file.h"
#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "device/platform/system_time.h"
#include "emulator/command_line.h"
#include "emulator/refuse_file_fault.h"
#include "rapi/device_end.h"
#include "tests/backup_road/handheld_store_fixture.h"

extern char** environ;

namespace corvash::backup_road::test {
namespace {

namespace fs = std::filesystem;
using rapi::wire::MessageKind;

constexpr uint32_t kChunk = 0x40000;
constexpr int kLooks = 501;            // the desktop's looks for a chunk, 100 ms apart
constexpr uint32_t kAgentEndMs = 600000;  // system ms; the agent gives up after 2001 x 100 ms

class HandheldStoreTest : public HandheldStoreFixture {
 protected:
  // The emulator's arming, as `k5210-emu fault STATE refuse-file NAME N` does it.
  void ArmRefuseFile(const std::string& name, uint32_t count) {
    std::string error;
    ASSERT_TRUE(emulator::RefuseFileFault(dir_ / "refuse-file").Arm(name, count, &error)) << error;
  }

  // The desktop's calls through the device end.
  rapi::wire::Answer Create(const std::u16string& path, uint32_t access, uint32_t disposition) {
    rapi::wire::Request request;
    request.kind = MessageKind::CreateFile;
    request.text = path;
    request.access = access;
    request.share = common::FILE_SHARE_READ;
    request.disposition = disposition;
    return desktop_.Handle(request);
  }
  bool Close(int32_t handle) {
    rapi::wire::Request request;
    request.kind = MessageKind::CloseHandle;
    request.handle = static_cast<uint32_t>(handle);
    return desktop_.Handle(request).result == 1;
  }
  bool Delete(const std::u16string& path) {
    rapi::wire::Request request;
    request.kind = MessageKind::DeleteFile;
    request.text = path;
    return desktop_.Handle(request).result == 1;
  }
  uint32_t Read(int32_t handle) {
    rapi::wire::Request request;
    request.kind = MessageKind::ReadFile;
    request.handle = static_cast<uint32_t>(handle);
    request.number = kChunk;
    return desktop_.Handle(request).value;
  }
  static bool Opened(const rapi::wire::Answer& answer) {
    return static_cast<uint32_t>(answer.result) != rapi::kInvalidHandle;
  }

  rapi::DeviceSession desktop_{config_};
};

TEST_F(HandheldStoreTest, RefuseFileRefusesEveryCreatorAfterNCreationsOpensAside) {
  // No fault armed: creating makes no record beside the store.
  const ce::HANDLE plain = ce::CreateFileW(u"\\Temp\\plain.bin", ce::GENERIC_WRITE, 0, ce::CREATE_NEW);
  ASSERT_NE(plain, ce::INVALID_HANDLE_VALUE);
  ce::CloseHandle(plain);
  EXPECT_FALSE(fs::exists(dir_ / "refuse-file"));

  ArmRefuseFile("image.nb", 2);
  // 1: a device program creates it; the desktop opens and deletes it, which creates nothing.
  const ce::HANDLE first = ce::CreateFileW(u"\\temp\\image.nb", ce::GENERIC_WRITE, 0, ce::CREATE_NEW);
  ASSERT_NE(first, ce::INVALID_HANDLE_VALUE);
  ce::CloseHandle(first);
  const auto opened = Create(u"\\Temp\\image.nb", common::GENERIC_READ, common::OPEN_EXISTING);
  ASSERT_TRUE(Opened(opened));
  EXPECT_TRUE(Close(opened.result));
  // An open-always that finds the file opens it; no creation either.
  const ce::HANDLE again = ce::CreateFileW(u"\\TEMP\\IMAGE.NB", ce::GENERIC_READ, 0, ce::OPEN_ALWAYS);
  ASSERT_NE(again, ce::INVALID_HANDLE_VALUE);
  ce::CloseHandle(again);
  ASSERT_TRUE(Delete(u"\\Temp\\image.nb"));
  // 2: the desktop creates it, in another case.
  const auto second = Create(u"\\Temp\\Image.NB", common::GENERIC_WRITE, common::CREATE_ALWAYS);
  ASSERT_TRUE(Opened(second));
  EXPECT_TRUE(Close(second.result));
  ASSERT_TRUE(Delete(u"\\Temp\\image.nb"));

  // The third is refused to both, in any folder; other names go on.
  EXPECT_EQ(ce::CreateFileW(u"\\temp\\image.nb", ce::GENERIC_WRITE, 0, ce::CREATE_NEW), ce::INVALID_HANDLE_VALUE);
  EXPECT_EQ(ce::GetLastError(), ce::ERROR_ACCESS_DENIED);
  const auto refused = Create(u"\\Windows\\image.nb", common::GENERIC_WRITE, common::OPEN_ALWAYS);
  EXPECT_FALSE(Opened(refused));
  EXPECT_EQ(refused.lastError, common::ERROR_ACCESS_DENIED);
  const auto other = Create(u"\\Temp\\other.bin", common::GENERIC_WRITE, common::CREATE_NEW);
  ASSERT_TRUE(Opened(other));
  EXPECT_TRUE(Close(other.result));

  emulator::RefuseFileFault(dir_ / "refuse-file").Clear();
  const ce::HANDLE lifted = ce::CreateFileW(u"\\temp\\image.nb", ce::GENERIC_WRITE, 0, ce::CREATE_NEW);
  EXPECT_NE(lifted, ce::INVALID_HANDLE_VALUE);
  ce::CloseHandle(lifted);
}

TEST_F(HandheldStoreTest, RefuseFileStopsTheRealAgentAfterNChunks) {
  ArmRefuseFile("image.nb", 2);
  const pid_t agent = ::fork();
  if (agent == 0) {
    char* argv[] = {const_cast<char*>(BACKUP_EXE), nullptr};
    ::execve(BACKUP_EXE, argv, environ);
    ::_exit(127);
  }
  ASSERT_GT(agent, 0);
  // The desktop's side: look every 100 ms, read, close, delete.
  int chunks = 0;
  for (int look = 0; look < kLooks && chunks < 3; ++look) {
    common::SleepMs(100);
    const auto chunk = Create(u"\\Temp\\image.nb", common::GENERIC_READ, common::OPEN_EXISTING);
    if (!Opened(chunk)) continue;
    EXPECT_EQ(Read(chunk.result), kChunk);
    EXPECT_TRUE(Close(chunk.result));
    EXPECT_TRUE(Delete(u"\\Temp\\image.nb"));
    ++chunks;
    look = 0;
  }
  // Two chunks, then the agent's create is refused until it gives up.
  EXPECT_EQ(chunks, 2);
  const auto deadline = common::DeadlineAfter(kAgentEndMs);
  int status = -1;
  while (std::chrono::steady_clock::now() < deadline && ::waitpid(agent, &status, WNOHANG) == 0) {
    common::SleepMs(1000);
  }
  if (status == -1) ::kill(agent, SIGKILL);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(DebugLog().find("Create File, fail and error code = 5"), std::string::npos) << DebugLog();
  EXPECT_FALSE(fs::exists(Store() / "Temp" / "image.nb"));
}

TEST_F(HandheldStoreTest, RefuseTimeFaultRefusesTheNextSetSystemTimeOnce) {
  const std::string state = dir_.string();
  const char* argv[] = {"k5210-emu", "fault", state.c_str(), "refuse-time"};
  std::ostringstream out, err;
  ASSERT_EQ(emulator::RunCommandLine(4, argv, out, err), 0) << err.str();

  const int64_t before = common::Folder(dir_).ClockNow();
  const ce::SYSTEMTIME later = ce::CalendarOf(before + 10 * 365 * 86400);
  EXPECT_EQ(ce::SetSystemTime(&later), ce::FALSE);
  EXPECT_EQ(ce::GetLastError(), ce::ERROR_INVALID_PARAMETER);
  EXPECT_NEAR(common::Folder(dir_).ClockNow(), before, 2);
  EXPECT_EQ(ce::SetSystemTime(&later), ce::TRUE);
  EXPECT_NEAR(common::Folder(dir_).ClockNow(), before + 10 * 365 * 86400, 2);
}

}  // namespace
}  // namespace corvash::backup_road::test
