#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {

using namespace resources::ids;

namespace {

class WelcomePageTest : public PageTest {
 protected:
  CountingWorkers workers;
  const PageServices services = workers.Services();
};

TEST_F(WelcomePageTest, CheckBoxTogglesWeiter) {
  OpenPage page(kPageWelcome, Run(), services);
  EXPECT_FALSE(page.dialog.IsEnabled(kButtonNext));
  page.dialog.SetChecked(kAcknowledgeBox, true);
  page.Press(kAcknowledgeBox);
  EXPECT_TRUE(page.dialog.IsEnabled(kButtonNext));
  page.dialog.SetChecked(kAcknowledgeBox, false);
  page.Press(kAcknowledgeBox);
  EXPECT_FALSE(page.dialog.IsEnabled(kButtonNext));
  page.dialog.SetChecked(kAcknowledgeBox, true);
  page.Press(kAcknowledgeBox);
  EXPECT_TRUE(page.dialog.IsEnabled(kButtonNext));
  EXPECT_FALSE(page.dialog.Ended());
}

TEST_F(WelcomePageTest, EnterWithoutAcknowledgementDoesNotGoOn) {
  OpenPage page(kPageWelcome, Run(), services);
  page.Press(kCommandOk);
  EXPECT_FALSE(page.dialog.Ended());
  page.dialog.SetChecked(kAcknowledgeBox, true);
  page.Press(kAcknowledgeBox);
  page.Press(kCommandOk);
  EXPECT_EQ(page.Result(), 0);
  EXPECT_EQ(S().flow.cancelled.load(), 0u);
}

TEST_F(WelcomePageTest, ReadmeOpensEveryTimeAndThePageStays) {
  OpenPage page(kPageWelcome, Run(), services);
  page.Press(kReadmeButton);
  page.Press(kReadmeButton);
  page.Press(kReadmeButton);
  EXPECT_EQ(workers.readmeOpens.load(), 3);
  EXPECT_FALSE(page.dialog.Ended());
}

TEST_F(WelcomePageTest, AbbrechenCancelsWithOne) {
  OpenPage page(kPageWelcome, Run(), services);
  page.Press(kCommandCancel);
  EXPECT_EQ(page.Result(), 1);
  EXPECT_EQ(S().flow.cancelled.load(), 1u);
}

}  // namespace
}  // namespace corvash::pages::testing
