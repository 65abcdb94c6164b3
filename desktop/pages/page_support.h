#pragma once
// What every page does alike: copy texts from the text table into controls,
// the caption and the picture, "label value" lines, the wizard buttons,
// starting a worker thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "desktop/pages/page_dialog.h"
#include "desktop/session/page_ids.h"

namespace corvash::session {
struct WizardFlow;
}

namespace corvash::pages {

// The buttons that recur on many pages: kButtonNext ("Weiter", also the
// Enter key), kButtonCancel ("Abbrechen" / "Beenden", also Escape) and
// kButtonBack ("Zurück", labelled by the template), with every other id of
// corvash.rc, come from page_ids.h.
// Texts without an identifier in the template (IDC_STATIC): SetText on this
// id reaches the first such text control of the page.
inline constexpr int kUnnamedText = -1;

struct TextRow {
  int controlId;
  int textId;
};

// Text `textId` of the text table ("" when the table lacks it).
std::string_view PageText(int textId);
void SetPageText(PageDialog& page, int controlId, int textId);
void FillTexts(PageDialog& page, std::initializer_list<TextRow> rows);
// Caption kTextCaption and the picture at (10, 10): every page with a caption bar.
void OpenCaptionedPage(PageDialog& page, Picture picture);
// "%s %s": label, blank, value.
std::string LabelValue(std::string_view label, std::string_view value);
// The wizard buttons of a page: the result that "Weiter" (1, also Enter),
// "Abbrechen" (2, also Escape) and "Zurück" (1221) end it with, and the
// session flag that "Zurück" sets. "Abbrechen" always sets `cancelled`. A
// page without "Zurück" has no back flag.
struct WizardButtons {
  int nextResult = 0;
  int cancelResult = 0;
  int backResult = 0;
  std::atomic<uint32_t> session::WizardFlow::*backFlag = nullptr;
};

// Commands 1, 2 and 1221 (1221 only with a back flag): sets the button's
// flag of `flow` and ends the page with its result. Returns false for every
// other command and leaves the page as it is.
bool HandleWizardButton(PageDialog& page, int commandId, const WizardButtons& buttons, session::WizardFlow& flow);

// Runs `body` on a thread of its own, not waited for. Returns false when no
// thread could be started (the body then does not run).
bool StartWorkerThread(std::function<void()> body);

}  // namespace corvash::pages
