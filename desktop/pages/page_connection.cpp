// Connection page (161): connect the device and wait for ActiveSync.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr WizardButtons kButtons{
    .nextResult = 0, .cancelResult = 1, .backResult = 0, .backFlag = &session::WizardFlow::backFromConnect};


class ConnectionPage final : public PageProcedure {
 public:
  explicit ConnectionPage(session::WizardFlow& flow) : flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kConnectHeading, kTextConnectHeading},
                     {kConnectSteps, kTextConnectSteps},
                     {kConnectionWarning, kTextConnectNote},
                     {kContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetColouring(kConnectionWarning, Colouring::kRedText);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    HandleWizardButton(page, commandId, kButtons, flow_);
  }

 private:
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeConnectionPage(session::WizardFlow& flow) { return std::make_unique<ConnectionPage>(flow); }

}  // namespace corvash::pages
