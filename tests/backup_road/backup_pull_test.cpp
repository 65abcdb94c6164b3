// BackupWorker as the desktop runs it, over the real remote API (a device
// end served on a socket against a state folder) and the real backup.exe,
// where the chunk exchange goes wrong on the handheld's side.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/fixed_text.h"
#include "desktop/handheld/backup_pull.h"
#include "desktop/session/page_ids.h"
#include "device/platform/device_files.h"
#include "device/platform/handle_table.h"
#include "rapi/device_server.h"
#include "rapi/socket_remote_api.h"
#include "tests/backup_road/handheld_store_fixture.h"
#include "tests/backup_road/pull_page.h"

namespace corvash::backup_road::test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLinkWaitMs = 100000;
constexpr uint32_t kAgentEndMs = 1000000;  // system ms; the agent gives up after 2001 x 100 ms

class BackupPullTest : public HandheldStoreFixture {
 protected:
  void SetUp() override {
    HandheldStoreFixture::SetUp();
    std::string error;
    server_ = rapi::DeviceServer::Start(dir_ / "rapi.sock", config_, &error);
    ASSERT_NE(server_, nullptr) << error;
    api_ = std::make_unique<rapi::SocketRemoteApi>(dir_ / "rapi.sock");
    rapi::RapiInitRecord link;
    ASSERT_EQ(api_->CeRapiInitEx(link), rapi::S_OK);
    ASSERT_TRUE(link.heRapiInit->Wait(kLinkWaitMs));
    fs::create_directories(dir_ / "program");
    fs::create_symlink(BACKUP_EXE, dir_ / "program" / "backup.exe");
    job_.programDir = (dir_ / "program").string();
    job_.backupPath = Backup().string();
    common::CopyText(job_.handheld.deviceModel, "Quor 5210");
    common::CopyText(job_.handheld.deviceVariant, "NBT");
    common::CopyText(job_.handheld.deviceLangCode, "ENG");
    common::CopyText(job_.handheld.deviceVersion, "2.04");
  }
  void TearDown() override {
    api_->CeRapiUninit();
    api_.reset();
    server_.reset();
    HandheldStoreFixture::TearDown();
  }
  fs::path Backup() const { return dir_ / "backup.nbf"; }
  // Waits until the agent has closed its window (it ends with it).
  bool AgentEnded() const {
    const auto deadline = common::DeadlineAfter(kAgentEndMs);
    while (fs::exists(dir_ / "windows" / "imagebackup")) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      common::SleepMs(100);
    }
    return true;
  }

  std::unique_ptr<rapi::DeviceServer> server_;
  std::unique_ptr<rapi::SocketRemoteApi> api_;
  handheld::BackupJob job_;
};

TEST_F(BackupPullTest, AChunkThatCannotBeDeletedEndsThePullInsteadOfBeingTakenAgain) {
  // A chunk left on the handheld that another program keeps open for
  // reading: the desktop can read it but not delete it, so the agent can
  // never make its next one.
  const ce::HANDLE stale = ce::CreateFileW(u"\\Temp\\image.nb", ce::GENERIC_WRITE, 0, ce::CREATE_NEW);
  ASSERT_NE(stale, ce::INVALID_HANDLE_VALUE);
  const std::vector<uint8_t> bytes(handheld::kChunkSize, 0xAB);
  ce::DWORD written = 0;
  ASSERT_TRUE(ce::WriteFile(stale, bytes.data(), handheld::kChunkSize, &written));
  ce::CloseHandle(stale);
  const ce::HANDLE holder =
      ce::CreateFileW(u"\\Temp\\image.nb", ce::GENERIC_READ, ce::FILE_SHARE_READ, ce::OPEN_EXISTING);
  ASSERT_NE(holder, ce::INVALID_HANDLE_VALUE);

  PullPage page;
  const handheld::BackupOutcome outcome = handheld::BackupWorker(*api_, job_, page);
  // FEHLER 109 ending the run, not a backup of the one chunk taken 124 times.
  EXPECT_FALSE(outcome.complete);
  EXPECT_EQ(outcome.screen, session::kScreenBackupFailed);
  EXPECT_TRUE(outcome.endsRun);
  EXPECT_LE(page.chunkTimes.size(), 1u);
  EXPECT_FALSE(fs::exists(Backup()));

  EXPECT_TRUE(AgentEnded());
  ce::CloseHandle(holder);
}

}  // namespace
}  // namespace corvash::backup_road::test
