// Confirmation page (124): the ROM version on the device ("Von:") and the
// one to be written ("Nach:"). The recovery run offers no way back.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr WizardButtons kButtons{
    .nextResult = 1, .cancelResult = 2, .backResult = 2, .backFlag = &session::WizardFlow::backFromConfirm};

class ConfirmationPage final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    const session::UpdateSession& session = session::Session();
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kConfirmHeading, kTextConfirmHeading},
                     {kVonLabel, kTextVon},
                     {kNachLabel, kTextNach},
                     {kConfirmContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetText(kVonVersion, LabelValue(PageText(kTextDeviceVersion), platform::TextOf(session.handheld.deviceVersion)));
    page.SetText(kNachVersion, LabelValue(PageText(kTextImageVersion), platform::TextOf(session.image.imageVersion)));
    if (!BackAllowed()) page.Enable(kButtonBack, false);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonBack && !BackAllowed()) return;  // disabled in the recovery run
    HandleWizardButton(page, commandId, kButtons);
  }

 private:
  static bool BackAllowed() { return session::Session().flow.backAllowed.load() != 0; }
};

}  // namespace

std::unique_ptr<PageProcedure> MakeConfirmationPage() { return std::make_unique<ConfirmationPage>(); }

}  // namespace corvash::pages
