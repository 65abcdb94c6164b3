#include "desktop/pages/page_support.h"

#include <system_error>
#include <thread>

#include "desktop/session/update_session.h"
#include "desktop/platform/trace.h"
#include "desktop/resources/text_table.h"

namespace corvash::pages {

using namespace resources::ids;

std::string_view PageText(int textId) { return resources::Text(textId); }

void SetPageText(PageDialog& page, int controlId, int textId) {
  page.SetText(controlId, PageText(textId));
}

void FillTexts(PageDialog& page, std::initializer_list<TextRow> rows) {
  for (const TextRow& row : rows) SetPageText(page, row.controlId, row.textId);
}

void OpenCaptionedPage(PageDialog& page, Picture picture) {
  page.SetCaption(PageText(kTextCaption));
  page.SetPicture(picture);
}

std::string LabelValue(std::string_view label, std::string_view value) {
  std::string line;
  line.reserve(label.size() + 1 + value.size());
  line.append(label).append(" ").append(value);
  return line;
}

bool HandleWizardButton(PageDialog& page, int commandId, const WizardButtons& buttons, session::WizardFlow& flow) {
  switch (commandId) {
    case kButtonNext:
      page.End(buttons.nextResult);
      return true;
    case kButtonCancel:
      flow.cancelled.store(1);
      page.End(buttons.cancelResult);
      return true;
    case kButtonBack:
      if (buttons.backFlag == nullptr) return false;
      (flow.*buttons.backFlag).store(1);
      page.End(buttons.backResult);
      return true;
    default:
      return false;
  }
}

bool StartWorkerThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error& error) {
    platform::TraceF("\r\n Pages: no worker thread: %s\r\n", error.what());
    return false;
  }
}

}  // namespace corvash::pages
