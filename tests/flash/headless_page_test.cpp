// Page 102 without a display: its timer 2 is the link watchdog.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/headless_progress_page.h"
#include "desktop/bootlink/watchdog.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

using bootlink::HeadlessProgressPage;

class HeadlessPageTest : public FlashTest {
 protected:
  void Publish() {
    page_ = std::make_unique<HeadlessProgressPage>();
    session::Session().progressPage.store(page_.get());
  }
};

TEST_F(HeadlessPageTest, ExpiryClosesImageSetsLinkClosedAndFails) {
  Publish();
  const int fd = ::open("/dev/null", O_RDONLY);
  session::Session().imageFileHandle.store(fd);
  bootlink::ArmWatchdog(10);
  ASSERT_TRUE(page_->WaitEnded(100000));
  const auto view = page_->Snapshot();
  EXPECT_EQ(view.result, 2);
  EXPECT_FALSE(view.timer2Armed);
  EXPECT_EQ(session::Session().linkClosed.load(), 1u);
  EXPECT_EQ(session::Session().imageFileHandle.load(), -1);
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed
}

TEST_F(HeadlessPageTest, ExpiryDuringTheSecondLoadIsNoCompletedFlash) {
  Publish();
  session::Session().flow.flashState.store(3);
  bootlink::ArmWatchdog(10);
  ASSERT_TRUE(page_->WaitEnded(100000));
  EXPECT_EQ(session::Session().flow.flashState.load(), 2u);
}

TEST_F(HeadlessPageTest, RearmPostponesAndKillStops) {
  Publish();
  bootlink::ArmWatchdog(3000);
  bootlink::ArmWatchdog(90000);  // replaces the short period
  EXPECT_FALSE(page_->WaitEnded(6000));
  bootlink::KillWatchdog();
  bootlink::ArmWatchdog(20);
  bootlink::KillWatchdog();
  EXPECT_FALSE(page_->WaitEnded(3000));
  EXPECT_EQ(session::Session().linkClosed.load(), 0u);
}

TEST_F(HeadlessPageTest, EndedPageKeepsItsResultAndIgnoresItsTimer) {
  Publish();
  page_->End(1);
  bootlink::ArmWatchdog(10);
  EXPECT_FALSE(WaitFor([] { return session::Session().linkClosed.load() == 1; }, 3000));
  page_->End(2);
  EXPECT_EQ(page_->Snapshot().result, 1);
}

void EndingWorker() {
  // A worker that ends the page as a completed download does.
  if (auto* page = session::Session().progressPage.load()) page->End(1);
}

TEST_F(HeadlessPageTest, RunRecordsThePendingFlashAndWithdrawsThePage) {
  platform::CopyText(session::Session().image.imagePath, "/tmp/some.nbf");
  EXPECT_EQ(RunPage(&EndingWorker), 1);
  EXPECT_TRUE(SettingsStored());
  EXPECT_EQ(session::Session().progressPage.load(), nullptr);
}

}  // namespace
}  // namespace corvash::test
