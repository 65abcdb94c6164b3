#include "desktop/pages/screen_common.h"

namespace corvash::pages {

using namespace resources::ids;

void OpenScreen(PageDialog& page, const ScreenLayout& layout) {
  OpenCaptionedPage(page, layout.picture);
  SetPageText(page, layout.heading.controlId, layout.heading.textId);
  for (const TextRow& row : layout.texts) SetPageText(page, row.controlId, row.textId);
  if (layout.quitButton != 0) SetPageText(page, layout.quitButton, kTextBeenden);
  page.SetTitleFont(layout.heading.controlId);
}

}  // namespace corvash::pages
