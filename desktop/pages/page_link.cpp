#include "desktop/pages/page_link.h"

#include <string>

namespace corvash::pages {

using namespace resources::ids;

void PageLink::DetachFrom(PageDialog& page) {
  PageDialog* expected = &page;
  page_.compare_exchange_strong(expected, nullptr);
}

void PageLink::Enable(int controlId, bool enabled) {
  if (PageDialog* page = page_.load()) page->Enable(controlId, enabled);
}

void PageLink::SetText(int controlId, std::string_view text) {
  if (PageDialog* page = page_.load()) page->SetText(controlId, text);
}

void PageLink::SetBarRange(uint32_t low, uint32_t high) {
  if (PageDialog* page = page_.load()) page->SetProgressRange(kProgressBarControl, low, high);
}

void PageLink::SetBarPosition(uint32_t position) {
  if (PageDialog* page = page_.load()) page->SetProgressPosition(kProgressBarControl, position);
}

void PageLink::SetFigure(uint32_t percent) {
  if (PageDialog* page = page_.load()) page->SetText(kProgressFigureControl, std::to_string(percent));
}

void PageLink::Hide() {
  if (PageDialog* page = page_.load()) page->SetPageVisible(false);
}

void PageLink::End(int result) {
  if (PageDialog* page = page_.exchange(nullptr)) page->End(result);
}

void PageLink::SetTimer(int timerId, uint32_t ms) {
  if (PageDialog* page = page_.load()) page->SetTimer(timerId, ms);
}

void PageLink::KillTimer(int timerId) {
  if (PageDialog* page = page_.load()) page->KillTimer(timerId);
}

}  // namespace corvash::pages
