// Preparation page (121): remove expansion packs, reset the device, prepare
// the PC.
#include "desktop/app/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {
namespace {

class PreparationPage final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{1044, 11036},
                     {1212, 11183},
                     {1047, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    app::UpdateSession& session = app::Session();
    switch (commandId) {
      case kButtonNext:
        page.End(0);
        break;
      case kButtonCancel:
        session.cancelled.store(1);
        page.End(1);
        break;
      case kButtonBack:
        session.backFromPrepare.store(1);
        page.End(1);
        break;
      default:
        break;
    }
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakePreparationPage() { return std::make_unique<PreparationPage>(); }

}  // namespace corvash::pages
