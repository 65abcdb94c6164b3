// Welcome page (103): greets the user, warns that every device datum will be
// erased and offers the readme. "Weiter" is open only while the user has
// ticked the acknowledgement.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kHeading = kWelcomeHeading;
constexpr WizardButtons kButtons{.nextResult = 0, .cancelResult = 1};  // no "Zurück"

class WelcomePage final : public PageProcedure {
 public:
  WelcomePage(ReadmeViewer& readme, session::WizardFlow& flow) : readme_(readme), flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kHeading, kTextWelcomeHeading},
                     {kUnnamedText, kTextWelcomeIntro},
                     {kWelcomeTasks, kTextWelcomeTasks},
                     {kAttentionLabel, kTextAttention},
                     {kWelcomeWarning, kTextWelcomeWarning},
                     {kAcknowledgeText, kTextWelcomeAcknowledge},
                     {kWelcomeContinueHint, kTextContinueOrCancel},
                     {kReadmeButton, kTextReadmeButton},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetTitleFont(kHeading);
    page.SetBoldFont(kAttentionLabel);
    page.Enable(kButtonNext, false);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    switch (commandId) {
      case kAcknowledgeBox:
        page.Enable(kButtonNext, page.IsChecked(kAcknowledgeBox));
        break;
      case kReadmeButton:
        readme_.OpenReadme();
        break;
      case kButtonNext:
        // Enter reaches here too: without the acknowledgement there is no way on.
        if (page.IsEnabled(kButtonNext)) HandleWizardButton(page, commandId, kButtons, flow_);
        break;
      default:
        HandleWizardButton(page, commandId, kButtons, flow_);
        break;
    }
  }

 private:
  ReadmeViewer& readme_;
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeWelcomePage(ReadmeViewer& readme, session::WizardFlow& flow) {
  return std::make_unique<WelcomePage>(readme, flow);
}

}  // namespace corvash::pages
