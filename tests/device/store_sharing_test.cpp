// One file store for the device programs and the desktop: a file that a
// device program holds without sharing, in a process of its own, cannot be
// opened, deleted or replaced through the remote API's device end until that
// program closes it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/device_errors.h"
#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "rapi/device_end.h"
#include "tests/device/handheld_fixture.h"

namespace corvash::device::test {
namespace {

// A child process that creates \temp\image.nb as the backup agent does,
// says so on a pipe, and closes it when told.
class HoldingProgram {
 public:
  HoldingProgram() {
    if (::pipe(ready_) != 0 || ::pipe(release_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) Run();
    ::close(ready_[1]);
    ::close(release_[0]);
  }
  ~HoldingProgram() {
    Release();
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    ::close(ready_[0]);
  }
  // The child's report: 'y' when it holds the file.
  char Ready() {
    char report = 0;
    return ::read(ready_[0], &report, 1) == 1 ? report : 0;
  }
  // Tells the child to close the file and waits for it to end; its exit status.
  int Release() {
    if (release_[1] < 0) return -1;
    ::close(release_[1]);
    release_[1] = -1;
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  [[noreturn]] void Run() {
    ::close(ready_[0]);
    ::close(release_[1]);
    using namespace corvash::ce;
    const HANDLE file = CreateFileW(u"\\temp\\image.nb", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    DWORD written = 0;
    const bool holds = file != INVALID_HANDLE_VALUE && WriteFile(file, "chunk", 5, &written) && written == 5;
    const char report = holds ? 'y' : 'n';
    [[maybe_unused]] const ssize_t said = ::write(ready_[1], &report, 1);
    char ignored = 0;
    [[maybe_unused]] const ssize_t told = ::read(release_[0], &ignored, 1);  // end of file: release
    ::_exit(holds && CloseHandle(file) ? 0 : 1);
  }

  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
};

class StoreSharingTest : public HandheldFixture {
 protected:
  void SetUp() override {
    HandheldFixture::SetUp();
    config_.storeRoot = Dir() / "files";
    config_.stateDir = Dir();
  }
  rapi::wire::Answer Open(rapi::DeviceSession& session) {
    rapi::wire::Request request;
    request.kind = rapi::wire::MessageKind::CreateFile;
    request.text = u"\\Temp\\image.nb";
    request.access = common::GENERIC_READ;
    request.share = common::FILE_SHARE_READ;
    request.disposition = common::OPEN_EXISTING;
    return session.Handle(request);
  }
  rapi::wire::Answer Delete(rapi::DeviceSession& session) {
    rapi::wire::Request request;
    request.kind = rapi::wire::MessageKind::DeleteFile;
    request.text = u"\\Temp\\image.nb";
    return session.Handle(request);
  }

  rapi::DeviceEndConfig config_;
};

TEST_F(StoreSharingTest, DesktopWaitsForTheProgramThatHoldsTheFileUnshared) {
  rapi::DeviceSession desktop(config_);
  HoldingProgram agent;
  ASSERT_EQ(agent.Ready(), 'y');

  const auto refused = Open(desktop);
  EXPECT_EQ(static_cast<uint32_t>(refused.result), rapi::kInvalidHandle);
  EXPECT_EQ(refused.lastError, common::ERROR_SHARING_VIOLATION);
  const auto kept = Delete(desktop);
  EXPECT_EQ(kept.result, 0);
  EXPECT_EQ(kept.lastError, common::ERROR_SHARING_VIOLATION);

  ASSERT_EQ(agent.Release(), 0);
  const auto opened = Open(desktop);
  ASSERT_NE(static_cast<uint32_t>(opened.result), rapi::kInvalidHandle);
  rapi::wire::Request read;
  read.kind = rapi::wire::MessageKind::ReadFile;
  read.handle = static_cast<uint32_t>(opened.result);
  read.number = 64;
  const auto bytes = desktop.Handle(read);
  EXPECT_EQ(std::string(bytes.data.begin(), bytes.data.end()), "chunk");

  // Now the desktop holds it: the program's next create-new waits.
  EXPECT_EQ(ce::CreateFileW(u"\\TEMP\\IMAGE.NB", ce::GENERIC_WRITE, 0, ce::CREATE_NEW), ce::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ce::DeleteFileW(u"\\temp\\image.nb"));
  EXPECT_EQ(ce::GetLastError(), ce::ERROR_SHARING_VIOLATION);
  rapi::wire::Request close;
  close.kind = rapi::wire::MessageKind::CloseHandle;
  close.handle = read.handle;
  EXPECT_EQ(desktop.Handle(close).result, 1);
  EXPECT_EQ(Delete(desktop).result, 1);
  EXPECT_FALSE(std::filesystem::exists(Dir() / "files" / "Temp" / "image.nb"));
}

}  // namespace
}  // namespace corvash::device::test
