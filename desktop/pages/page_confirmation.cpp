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
  ConfirmationPage(const session::ChosenImage& image, const session::HandheldIdentity& handheld,
                   session::WizardFlow& flow)
      : image_(image), handheld_(handheld), flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kConfirmHeading, kTextConfirmHeading},
                     {kVonLabel, kTextVon},
                     {kNachLabel, kTextNach},
                     {kConfirmContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetText(kVonVersion, LabelValue(PageText(kTextDeviceVersion), common::TextOf(handheld_.deviceVersion)));
    page.SetText(kNachVersion, LabelValue(PageText(kTextImageVersion), common::TextOf(image_.imageVersion)));
    if (!BackAllowed()) page.Enable(kButtonBack, false);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonBack && !BackAllowed()) return;  // disabled in the recovery run
    HandleWizardButton(page, commandId, kButtons, flow_);
  }

 private:
  bool BackAllowed() const { return flow_.backAllowed.load() != 0; }

  const session::ChosenImage& image_;
  const session::HandheldIdentity& handheld_;
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeConfirmationPage(const session::ChosenImage& image, const session::HandheldIdentity& handheld,
                                                    session::WizardFlow& flow) {
  return std::make_unique<ConfirmationPage>(image, handheld, flow);
}

}  // namespace corvash::pages
