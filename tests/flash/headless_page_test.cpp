// The link watchdog's expiry, through page 102 without a display.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "desktop/bootlink/loader_link.h"
#include "desktop/session/update_session.h"
#include "tests/flash/flash_fixture.h"
#include "tests/flash/headless_progress_page.h"

namespace corvash::test {
namespace {

class HeadlessPageTest : public FlashTest {
 protected:
  void Publish() {
    page_ = std::make_unique<HeadlessProgressPage>(link_, run_, host_);
    link_.Watch(page_.get());
  }
};

// A second load whose download did not finish is no completed flash.
TEST_F(HeadlessPageTest, ExpiryClosesImageSetsLinkClosedUndoesTheSecondLoadAndFails) {
  Publish();
  link_.flashState.store(3);
  const int fd = ::open("/dev/null", O_RDONLY);
  link_.KeepImageFile(fd);
  link_.ArmWatchdog(10);
  ASSERT_TRUE(page_->WaitEnded(100000));
  const auto view = page_->Snapshot();
  EXPECT_EQ(view.result, 2);
  EXPECT_FALSE(view.timer2Armed);
  EXPECT_EQ(link_.linkClosed.load(), 1u);
  EXPECT_FALSE(link_.ImageFileOpen());
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed
  EXPECT_EQ(link_.flashState.load(), 2u);
}

TEST_F(HeadlessPageTest, RunRecordsThePendingFlashAndWithdrawsThePage) {
  common::CopyText(run_.image.imagePath, "/tmp/some.nbf");
  EXPECT_EQ(RunPage([this] { link_.Watcher()->FlashCompleted(); }), 1);
  // Completion deleted the record that the page wrote at its start.
  EXPECT_FALSE(SettingsStored());
  EXPECT_EQ(link_.Watcher(), nullptr);
}

}  // namespace
}  // namespace corvash::test
