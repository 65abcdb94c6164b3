#pragma once
// What the error and warning screens share: a heading in the title font,
// their texts, the picture, and one "Beenden" button.
#include <initializer_list>
#include <vector>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

struct ScreenLayout {
  TextRow heading;
  std::vector<TextRow> texts;      // explanation and further texts
  // kButtonCancel, or kScreenQuitButton, the single "Beenden" button of the
  // screens without button 2 (then Enter and Escape do nothing); 0 for the warnings,
  // whose buttons are "Weiter" and "Abbrechen".
  int quitButton = resources::ids::kButtonCancel;
  Picture picture = Picture::kMain;
};

// Caption, picture, texts, the button's "Beenden" label and the heading font.
void OpenScreen(PageDialog& page, const ScreenLayout& layout);

}  // namespace corvash::pages
