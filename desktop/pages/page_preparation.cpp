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
  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kPrepareSteps, kTextPrepareSteps},
                     {kPrepareHostSteps, kTextPrepareHostSteps},
                     {kContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    HandleWizardButton(page, commandId, kButtons);
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakePreparationPage() { return std::make_unique<PreparationPage>(); }

}  // namespace corvash::pages
