#include "desktop/pages/page_languages.h"
#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {

using namespace resources::ids;

namespace {

class CatalogueTest : public PageTest {};

TEST_F(CatalogueTest, EveryTemplateHasAProcedureThatOpensOnAnEmptySession) {
  const std::set<int> uncaptioned = {102, 122, 132};
  for (int templateId : PageTemplateIds()) {
    OpenPage page(templateId, Run());
    ASSERT_NE(page.procedure, nullptr) << templateId;
    // The backup page's default worker gives up at once and the page ends with 2.
    if (templateId != 132) {
      EXPECT_FALSE(page.dialog.Ended()) << templateId;
    }
    if (uncaptioned.count(templateId) != 0) {
      EXPECT_EQ(page.dialog.Caption(), "") << templateId;
      EXPECT_EQ(page.dialog.PictureShown(), Picture::kNone) << templateId;
    } else {
      EXPECT_EQ(page.dialog.Caption(), " Merlix Quor Pocket PC Solvane V2.50.09") << templateId;
      EXPECT_NE(page.dialog.PictureShown(), Picture::kNone) << templateId;
    }
    // No page shows a text that the table lacks.
    for (const auto& [control, text] : page.dialog.TextOrder()) {
      if (control == 1023) continue;  // the figure is a number
      EXPECT_FALSE(text.empty()) << templateId << " control " << control;
    }
  }
}

TEST_F(CatalogueTest, UnknownIdsHaveNone) {
  for (int templateId : {0, -1, 100, 104, 110, 111, 150, 157, 169 + 1000}) {
    EXPECT_EQ(MakePageProcedure(templateId, DefaultPageServices(), Run()), nullptr) << templateId;
  }
}

// Pages made with different services at the same time each keep their own.
TEST_F(CatalogueTest, EachPageUsesTheServicesItWasMadeWith) {
  CountingWorkers first;
  CountingWorkers second;
  const PageServices firstServices = first.Services();
  const PageServices secondServices = second.Services();
  OpenPage finishFirst(133, Run(), firstServices);
  OpenPage finishSecond(133, Run(), secondServices);
  OpenPage welcomeFirst(103, Run(), firstServices);
  finishSecond.Press(kButtonNext);
  welcomeFirst.Press(1209);  // "Readme-Datei lesen"
  EXPECT_EQ(first.clockCalls.load(), 0);
  EXPECT_EQ(second.clockCalls.load(), 1);
  EXPECT_EQ(first.readmeOpens.load(), 1);
  EXPECT_EQ(second.readmeOpens.load(), 0);
  finishFirst.Press(kButtonCancel);
  EXPECT_EQ(first.clockCalls.load(), 1);
  EXPECT_EQ(second.clockCalls.load(), 1);
}

// Pages of two runs open at once each show and set their own run's values.
TEST_F(CatalogueTest, EachPageShowsAndSetsTheRunItWasMadeFor) {
  session::UpdateSession other;
  const PageRun otherRun{other, noScreens_, watches_};
  common::CopyText(S().image.imageVersion, "2.05");
  common::CopyText(other.image.imageVersion, "3.01");
  OpenPage confirmMine(124, Run());
  OpenPage confirmOther(124, otherRun);
  EXPECT_NE(confirmMine.Text(kNachVersion), confirmOther.Text(kNachVersion));
  EXPECT_NE(confirmOther.Text(kNachVersion).find("3.01"), std::string::npos);
  confirmOther.Press(kButtonBack);
  EXPECT_EQ(other.flow.backFromConfirm.load(), 1u);
  EXPECT_EQ(S().flow.backFromConfirm.load(), 0u);
}

TEST(PageLanguages, TableRowsByNameAndCode) {
  EXPECT_EQ(LanguageTextByName("japanese"), 11145);
  EXPECT_EQ(LanguageTextByName("FRENCH"), 11139);
  EXPECT_EQ(LanguageTextByName("Portuguese"), 11181);
  EXPECT_EQ(LanguageTextByName("English"), 11138);
  EXPECT_EQ(LanguageTextByName("Por"), 11138);  // a code is no name
  EXPECT_EQ(LanguageTextByCode("JPN"), 11145);
  EXPECT_EQ(LanguageTextByCode("CHT"), 11143);
  EXPECT_EQ(LanguageTextByCode("ENG"), 11138);
  EXPECT_EQ(LanguageTextByCode("PTB"), 0);
  EXPECT_EQ(LanguageTextByCode(""), 0);
}

}  // namespace
}  // namespace corvash::pages::testing
