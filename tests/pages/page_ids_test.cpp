// The ids the page procedures use are the resource script's: every control a
// procedure touches, when it opens and when each of its buttons is pressed, is
// in the page's template of corvash.rc, and every text it shows comes from the
// script's string table.
#include <set>
#include <span>
#include <string>
#include <vector>

#include "desktop/pages/page_catalogue.h"
#include "desktop/resources/resource_script.h"
#include "tests/pages/page_test_support.h"

namespace corvash::pages::testing {

using namespace resources::ids;

namespace {

bool IsButton(const resources::DialogControl& control) {
  return control.kind == resources::ControlKind::kPushButton ||
         control.kind == resources::ControlKind::kDefPushButton || control.kind == resources::ControlKind::kCheckBox;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class PageIdsTest : public PageTest {
 protected:
  const resources::ResourceScript& script_ = resources::ResourceScript::LoadDefault();
  CountingWorkers workers_;

  // A table text, or a "label value" / "value label" line with a table text
  // as its label (the page fills in what it learned).
  bool FromTable(const std::string& text) const {
    for (const int id : script_.StringIds()) {
      const std::string entry = script_.String(id);
      if (text == entry || text.rfind(entry + " ", 0) == 0 || EndsWith(text, " " + entry)) return true;
    }
    return false;
  }

  void ExpectScriptIds(const resources::DialogTemplate& dialog, const FakePageDialog& page, const std::string& when) {
    for (const int id : page.TouchedControls())
      EXPECT_NE(dialog.Control(id), nullptr) << "template " << dialog.id << ", " << when << ": control " << id;
    for (const auto& [control, text] : page.TextOrder()) {
      if (control == kProgressFigureControl) continue;  // a number the page counts
      EXPECT_TRUE(FromTable(text)) << "template " << dialog.id << ", " << when << ": control " << control
                                   << " shows \"" << text << "\"";
    }
  }
};

TEST_F(PageIdsTest, EveryControlAndTextOfEveryPageIsInTheScript) {
  for (const int templateId : PageTemplateIds()) {
    const resources::DialogTemplate* dialog = script_.Dialog(templateId);
    ASSERT_NE(dialog, nullptr) << templateId;
    {
      OpenPage page(templateId, Run(), workers_.Services());
      ExpectScriptIds(*dialog, page.dialog, "opening");
    }
    for (const resources::DialogControl& control : dialog->controls) {
      if (!IsButton(control)) continue;
      OpenPage page(templateId, Run(), workers_.Services());
      page.dialog.SetChecked(control.id, true);
      page.Press(control.id);
      ExpectScriptIds(*dialog, page.dialog, "pressing " + std::to_string(control.id));
    }
  }
}

// The catalogue offers exactly the script's templates.
TEST_F(PageIdsTest, TheCatalogueCoversEveryTemplate) {
  const std::span<const int> catalogue = PageTemplateIds();
  const std::vector<int> templates = script_.DialogIds();
  EXPECT_EQ(std::set<int>(catalogue.begin(), catalogue.end()), std::set<int>(templates.begin(), templates.end()));
}

}  // namespace
}  // namespace corvash::pages::testing
