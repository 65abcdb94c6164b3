#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {
namespace {

class WelcomePageTest : public PageTest {
 protected:
  CountingWorkers workers;
  const PageServices services = workers.Services();
};

TEST_F(WelcomePageTest, CheckBoxTogglesWeiter) {
  OpenPage page(103, services);
  EXPECT_FALSE(page.dialog.IsEnabled(1));
  page.dialog.SetChecked(1203, true);
  page.Press(1203);
  EXPECT_TRUE(page.dialog.IsEnabled(1));
  page.dialog.SetChecked(1203, false);
  page.Press(1203);
  EXPECT_FALSE(page.dialog.IsEnabled(1));
  page.dialog.SetChecked(1203, true);
  page.Press(1203);
  EXPECT_TRUE(page.dialog.IsEnabled(1));
  EXPECT_FALSE(page.dialog.Ended());
}

TEST_F(WelcomePageTest, EnterWithoutAcknowledgementDoesNotGoOn) {
  OpenPage page(103, services);
  page.Press(kCommandOk);
  EXPECT_FALSE(page.dialog.Ended());
  page.dialog.SetChecked(1203, true);
  page.Press(1203);
  page.Press(kCommandOk);
  EXPECT_EQ(page.Result(), 0);
  EXPECT_EQ(S().flow.cancelled.load(), 0u);
}

TEST_F(WelcomePageTest, ReadmeOpensEveryTimeAndThePageStays) {
  OpenPage page(103, services);
  page.Press(1209);
  page.Press(1209);
  page.Press(1209);
  EXPECT_EQ(workers.readmeOpens.load(), 3);
  EXPECT_FALSE(page.dialog.Ended());
}

TEST_F(WelcomePageTest, AbbrechenCancelsWithOne) {
  OpenPage page(103, services);
  page.Press(kCommandCancel);
  EXPECT_EQ(page.Result(), 1);
  EXPECT_EQ(S().flow.cancelled.load(), 1u);
}

TEST_F(WelcomePageTest, TextsFontsAndPicture) {
  OpenPage page(103, services);
  EXPECT_EQ(page.dialog.Caption(), " Merlix Quor Pocket PC Solvane V2.50.09");
  EXPECT_EQ(page.Text(1038), "Willkommen beim Solvane für den Quor Pocket PC.");
  EXPECT_EQ(page.Text(1182), "Achtung :");
  EXPECT_EQ(page.Text(1209), "Readme-Datei lesen");
  EXPECT_EQ(page.Text(1), "Weiter");
  EXPECT_EQ(page.Text(2), "Abbrechen");
  EXPECT_EQ(page.Text(kUnnamedText), T(11059));
  EXPECT_FALSE(page.Text(kUnnamedText).empty());
  EXPECT_TRUE(page.dialog.HasTitleFont(1038));
  EXPECT_TRUE(page.dialog.HasBoldFont(1182));
  EXPECT_EQ(page.dialog.PictureShown(), Picture::kMain);
}

}  // namespace
}  // namespace corvash::pages::testing
