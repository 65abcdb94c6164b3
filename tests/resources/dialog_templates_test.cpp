// The page templates of the program's resource script: every page and
// screen exists with its size, frame, font and the controls its procedure
// drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

struct PageShape {
  int id;
  int cx, cy;
  bool caption;
  std::vector<int> controls;  // ids the page procedure sets, reads or presses
};

const PageShape kPages[] = {
    {103, 433, 211, true, {1038, 1073, 1182, 1177, 1203, 1179, 1074, 1209, 1, 2}},
    {121, 434, 201, true, {1044, 1212, 1047, 1, 2, 1221}},
    {161, 434, 198, true, {1045, 1046, 1157, 1047, 1, 2, 1221}},
    {109, 414, 195, true, {1064, 1066, 1067, 1068, 1065, 1035, 1069, 1036, 1070, 1030, 1072, 1071, 2, 1221}},
    {132, 355, 94, false, {1087, 1020, 1023, 1088, 1089}},
    {124, 410, 195, true, {1048, 1049, 1050, 1051, 1027, 1054, 1, 2, 1221}},
    {130, 428, 196, true, {1076, 1129, 1075, 1, 2, 1221}},
    {169, 433, 197, true, {1204, 1206, 1207, 1205, 1, 2, 1221}},
    {102, 339, 95, false, {1020, 1023, 1043, 1131, 1132}},
    {167, 432, 196, true, {1193, 1194, 1195, 1181}},
    {133, 430, 200, true, {1088, 1}},
    {122, 279, 35, false, {1072}},
};

struct ScreenShape {
  int id;
  std::vector<int> controls;  // heading first
};

const ScreenShape kScreens[] = {
    {123, {1055, 1145, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063, 2}},
    {138, {1091, 1135, 1092, 2}},
    {139, {1093, 1137, 1094, 2}},
    {140, {1095, 1136, 1096, 2}},
    {141, {1097, 1141, 1098, 2}},
    {144, {1106, 1142, 1107, 2}},
    {145, {1108, 1115, 1109, 1143, 2}},
    {147, {1113, 1114, 1149, 2}},
    {151, {1116, 1138, 1118, 1120, 1119, 1121, 1117, 2}},
    {114, {1039, 1147, 1226, 1102, 1103, 2}},
    {165, {1172, 1173, 1174, 1175}},
    {268, {1224, 1225, 1175}},
    {269, {1206, 1207, 1208, 1175}},
    {105, {1040, 1144, 1089, 1, 2}},
    {152, {1122, 1123, 1, 2}},
};

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

TEST_F(DialogTemplatesTest, ExactlyThePagesAndScreensExist) {
  std::set<int> expected;
  for (const PageShape& page : kPages) expected.insert(page.id);
  for (const ScreenShape& screen : kScreens) expected.insert(screen.id);
  const std::vector<int> ids = script_.DialogIds();
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()), expected);
}

TEST_F(DialogTemplatesTest, WizardPagesHaveTheirSizeFrameAndControls) {
  for (const PageShape& shape : kPages) {
    SCOPED_TRACE(shape.id);
    const DialogTemplate& page = Page(shape.id);
    EXPECT_EQ(page.cx, shape.cx);
    EXPECT_EQ(page.cy, shape.cy);
    EXPECT_EQ(page.hasCaption, shape.caption);
    EXPECT_EQ((page.style & kWsSysMenu) != 0, shape.caption);
    EXPECT_NE(page.style & kDsModalFrame, 0u);
    for (const int id : shape.controls) EXPECT_NE(page.Control(id), nullptr) << "control " << id;
  }
}

TEST_F(DialogTemplatesTest, ScreensHaveCaptionSizeAndControls) {
  for (const ScreenShape& shape : kScreens) {
    SCOPED_TRACE(shape.id);
    const DialogTemplate& screen = Page(shape.id);
    EXPECT_TRUE(screen.hasCaption);
    EXPECT_NE(screen.style & kWsSysMenu, 0u);
    EXPECT_GE(screen.cx, 417);
    EXPECT_LE(screen.cx, 437);
    EXPECT_GE(screen.cy, 195);
    EXPECT_LE(screen.cy, 211);
    for (const int id : shape.controls) EXPECT_NE(screen.Control(id), nullptr) << "control " << id;
  }
}

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
        EXPECT_EQ(control.id, 1) << "template " << id;
      }
}

TEST_F(DialogTemplatesTest, OnlyBackAndPercentAreTemplateLabels) {
  for (const int id : script_.DialogIds()) {
    for (const DialogControl& control : Page(id).controls) {
      if (control.id == 1221) {
        EXPECT_EQ(control.text, "Zurück") << id;
      } else if (control.id == 1023) {
        EXPECT_EQ(control.text, "0") << id;
      } else if (control.text == "%") {
        EXPECT_EQ(control.kind, ControlKind::kText) << id;
      } else {
        EXPECT_EQ(control.text, "") << "template " << id << " control " << control.id;
      }
    }
  }
  for (const int id : {102, 132}) {
    const auto& controls = Page(id).controls;
    EXPECT_TRUE(std::any_of(controls.begin(), controls.end(), [](const DialogControl& c) { return c.text == "%"; }))
        << id;
  }
}

TEST_F(DialogTemplatesTest, WelcomePageStartsWithForwardDisabledAndAnEmptyCheckBox) {
  const DialogTemplate& page = Page(103);
  ASSERT_NE(page.Control(1), nullptr);
  EXPECT_TRUE(page.Control(1)->disabled());
  ASSERT_NE(page.Control(1203), nullptr);
  EXPECT_EQ(page.Control(1203)->kind, ControlKind::kCheckBox);
  EXPECT_EQ(page.Control(1203)->style & kBsTypeMask, kBsAutoCheckBox);
  // The introduction text is the page's first text without an id.
  const auto first = std::find_if(page.controls.begin(), page.controls.end(),
                                  [](const DialogControl& c) { return c.id == -1 && c.kind == ControlKind::kText; });
  ASSERT_NE(first, page.controls.end());
  EXPECT_LT(first->y, page.Control(1073)->y);
  // The "Achtung :" label lies over the leading blanks of its warning text.
  EXPECT_EQ(page.Control(1182)->x, page.Control(1177)->x);
  EXPECT_EQ(page.Control(1182)->y, page.Control(1177)->y);
}

TEST_F(DialogTemplatesTest, BulletsAreSmallBlackSquares) {
  const std::pair<int, size_t> bullets[] = {{103, 2}, {130, 4}, {169, 1}, {167, 3}, {114, 2}};
  for (const auto& [id, count] : bullets) {
    const DialogTemplate& page = Page(id);
    EXPECT_EQ(CountKind(page, ControlKind::kBlackRect), count) << id;
    for (const DialogControl& control : page.controls) {
      if (control.kind != ControlKind::kBlackRect) continue;
      EXPECT_EQ(control.cx, 4);
      EXPECT_EQ(control.cy, 4);
    }
  }
}

TEST_F(DialogTemplatesTest, ProgressPagesHaveABarAndNoButtons) {
  for (const int id : {102, 132}) {
    const DialogTemplate& page = Page(id);
    ASSERT_NE(page.Control(1020), nullptr);
    EXPECT_EQ(page.Control(1020)->kind, ControlKind::kProgress);
    EXPECT_EQ(page.Control(1020)->className, "msctls_progress32");
    EXPECT_EQ(CountKind(page, ControlKind::kPushButton) + CountKind(page, ControlKind::kDefPushButton), 0u);
  }
}

TEST_F(DialogTemplatesTest, PreparationPageShowsTheStylusResetPicture) {
  const DialogTemplate& page = Page(121);
  const auto picture = std::find_if(page.controls.begin(), page.controls.end(),
                                    [](const DialogControl& c) { return c.kind == ControlKind::kBitmap; });
  ASSERT_NE(picture, page.controls.end());
  EXPECT_EQ(picture->imageId, 157);
  EXPECT_FALSE(script_.Bitmap(157).empty());
}

TEST_F(DialogTemplatesTest, ScreensWithTheirOwnEndButtonHaveNoButtonOneOrTwo) {
  for (const int id : {165, 268, 269, 167}) {
    const DialogTemplate& page = Page(id);
    EXPECT_EQ(page.Control(1), nullptr) << id;
    EXPECT_EQ(page.Control(2), nullptr) << id;
  }
}

TEST_F(DialogTemplatesTest, CaptionIsTheProgramTitle) {
  for (const int id : script_.DialogIds()) {
    const DialogTemplate& dialog = Page(id);
    if (dialog.hasCaption) {
      EXPECT_EQ(dialog.caption, script_.String(11035)) << id;
    }
  }
}

TEST_F(DialogTemplatesTest, AbsentTemplateIsNull) {
  EXPECT_EQ(script_.Dialog(0), nullptr);
  EXPECT_EQ(script_.Dialog(104), nullptr);
  EXPECT_EQ(Page(103).Control(4242), nullptr);
}

}  // namespace
}  // namespace corvash::resources
