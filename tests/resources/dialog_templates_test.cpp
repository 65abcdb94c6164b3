// The rules every page template of the program's resource script keeps:
// font, controls inside the page and right of its picture, one default
// button, labels only where the host expects them. Which controls a page
// procedure drives is checked against the templates by the page tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "desktop/resources/resource_ids.h"
#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

using namespace ids;

size_t CountKind(const DialogTemplate& dialog, ControlKind kind) {
  return static_cast<size_t>(std::count_if(dialog.controls.begin(), dialog.controls.end(),
                                           [&](const DialogControl& c) { return c.kind == kind; }));
}

class DialogTemplatesTest : public ::testing::Test {
 protected:
  const ResourceScript& script_ = ResourceScript::LoadDefault();

  const DialogTemplate& Page(int id) {
    const DialogTemplate* dialog = script_.Dialog(id);
    if (dialog == nullptr) {
      ADD_FAILURE() << "no template " << id;
      static const DialogTemplate empty;
      return empty;
    }
    return *dialog;
  }
};

TEST_F(DialogTemplatesTest, EveryTemplateUsesArial8AndKeepsItsControlsInside) {
  for (const int id : script_.DialogIds()) {
    SCOPED_TRACE(id);
    const DialogTemplate& dialog = Page(id);
    EXPECT_EQ(dialog.fontName, "Arial");
    EXPECT_EQ(dialog.fontPointSize, 8);
    std::set<int> seen;
    for (const DialogControl& control : dialog.controls) {
      EXPECT_GE(control.x, 0) << control.id;
      EXPECT_GE(control.y, 0) << control.id;
      EXPECT_LE(control.x + control.cx, dialog.cx) << control.id;
      EXPECT_LE(control.y + control.cy, dialog.cy) << control.id;
      if (control.id != -1) {
        EXPECT_TRUE(seen.insert(control.id).second) << "control " << control.id << " twice";
      }
    }
  }
}

TEST_F(DialogTemplatesTest, CaptionedPagesKeepTheirTextsRightOfThePicture) {
  for (const int id : script_.DialogIds()) {
    const DialogTemplate& dialog = Page(id);
    if (!dialog.hasCaption) continue;
    for (const DialogControl& control : dialog.controls)
      EXPECT_GE(control.x, 165) << "template " << id << " control " << control.id;
  }
}

// Enter is command 1 on every page; a default button with another id would
// turn Enter into a press of that button.
TEST_F(DialogTemplatesTest, OnlyButtonOneIsADefaultButton) {
  for (const int id : script_.DialogIds())
    for (const DialogControl& control : Page(id).controls)
      if (control.kind == ControlKind::kDefPushButton) {
        EXPECT_EQ(control.id, kButtonNext) << "template " << id;
      }
}

TEST_F(DialogTemplatesTest, OnlyBackAndPercentAreTemplateLabels) {
  for (const int id : script_.DialogIds()) {
    for (const DialogControl& control : Page(id).controls) {
      if (control.id == kButtonBack) {
        EXPECT_EQ(control.text, "Zurück") << id;
      } else if (control.id == kProgressFigureControl) {
        EXPECT_EQ(control.text, "0") << id;
      } else if (control.text == "%") {
        EXPECT_EQ(control.kind, ControlKind::kText) << id;
      } else {
        EXPECT_EQ(control.text, "") << "template " << id << " control " << control.id;
      }
    }
  }
  for (const int id : {kPageProgress, kPageBackupProgress}) {
    const auto& controls = Page(id).controls;
    EXPECT_TRUE(std::any_of(controls.begin(), controls.end(), [](const DialogControl& c) { return c.text == "%"; }))
        << id;
  }
}

TEST_F(DialogTemplatesTest, WelcomePageStartsWithForwardDisabledAndAnEmptyCheckBox) {
  const DialogTemplate& page = Page(kPageWelcome);
  ASSERT_NE(page.Control(kButtonNext), nullptr);
  EXPECT_TRUE(page.Control(kButtonNext)->disabled());
  ASSERT_NE(page.Control(kAcknowledgeBox), nullptr);
  EXPECT_EQ(page.Control(kAcknowledgeBox)->kind, ControlKind::kCheckBox);
  EXPECT_EQ(page.Control(kAcknowledgeBox)->style & kBsTypeMask, kBsAutoCheckBox);
  // The introduction text is the page's first text without an id.
  const auto first = std::find_if(page.controls.begin(), page.controls.end(),
                                  [](const DialogControl& c) { return c.id == -1 && c.kind == ControlKind::kText; });
  ASSERT_NE(first, page.controls.end());
  EXPECT_LT(first->y, page.Control(kWelcomeTasks)->y);
  // The "Achtung :" label lies over the leading blanks of its warning text.
  EXPECT_EQ(page.Control(kAttentionLabel)->x, page.Control(kWelcomeWarning)->x);
  EXPECT_EQ(page.Control(kAttentionLabel)->y, page.Control(kWelcomeWarning)->y);
}

TEST_F(DialogTemplatesTest, BulletsAreSmallBlackSquares) {
  for (const int id : script_.DialogIds()) {
    for (const DialogControl& control : Page(id).controls) {
      if (control.kind != ControlKind::kBlackRect) continue;
      EXPECT_EQ(control.cx, 4) << id;
      EXPECT_EQ(control.cy, 4) << id;
    }
  }
}

TEST_F(DialogTemplatesTest, ProgressPagesHaveABarAndNoButtons) {
  for (const int id : {kPageProgress, kPageBackupProgress}) {
    const DialogTemplate& page = Page(id);
    ASSERT_NE(page.Control(kProgressBarControl), nullptr);
    EXPECT_EQ(page.Control(kProgressBarControl)->kind, ControlKind::kProgress);
    EXPECT_EQ(page.Control(kProgressBarControl)->className, "msctls_progress32");
    EXPECT_EQ(CountKind(page, ControlKind::kPushButton) + CountKind(page, ControlKind::kDefPushButton), 0u);
  }
}

TEST_F(DialogTemplatesTest, EveryPictureATemplateShowsIsInTheScript) {
  for (const int id : script_.DialogIds())
    for (const DialogControl& control : Page(id).controls)
      if (control.kind == ControlKind::kBitmap) {
        EXPECT_FALSE(script_.Bitmap(control.imageId).empty()) << "template " << id;
      }
}

TEST_F(DialogTemplatesTest, ScreensWithTheirOwnEndButtonHaveNoButtonOneOrTwo) {
  for (const int id : script_.DialogIds()) {
    const DialogTemplate& page = Page(id);
    if (page.Control(kScreenQuitButton) == nullptr) continue;
    EXPECT_EQ(page.Control(kButtonNext), nullptr) << id;
    EXPECT_EQ(page.Control(kButtonCancel), nullptr) << id;
  }
}

TEST_F(DialogTemplatesTest, CaptionIsTheProgramTitle) {
  for (const int id : script_.DialogIds()) {
    const DialogTemplate& dialog = Page(id);
    if (dialog.hasCaption) {
      EXPECT_EQ(dialog.caption, script_.String(kTextCaption)) << id;
    }
  }
}

TEST_F(DialogTemplatesTest, AbsentTemplateIsNull) {
  EXPECT_EQ(script_.Dialog(0), nullptr);
  EXPECT_EQ(script_.Dialog(104), nullptr);
  EXPECT_EQ(Page(kPageWelcome).Control(4242), nullptr);
}

}  // namespace
}  // namespace corvash::resources
