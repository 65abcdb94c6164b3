// Preparation page (121): remove expansion packs, reset the device, prepare
// the PC.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr WizardButtons kButtons{
    .nextResult = 0, .cancelResult = 1, .backResult = 1, .backFlag = &session::WizardFlow::backFromPrepare};

class PreparationPage final : public PageProcedure {
 public:
  explicit PreparationPage(session::WizardFlow& flow) : flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kPrepareSteps, kTextPrepareSteps},
                     {kPrepareHostSteps, kTextPrepareHostSteps},
                     {kContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    HandleWizardButton(page, commandId, kButtons, flow_);
  }

 private:
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakePreparationPage(session::WizardFlow& flow) { return std::make_unique<PreparationPage>(flow); }

}  // namespace corvash::pages
