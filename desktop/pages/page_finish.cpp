// Finish page (133): congratulations; leaving it sets the device clock.
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "desktop/pages/page_workers.h"

namespace corvash::pages {
namespace {

class FinishPage final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{1088, 11069}, {kButtonNext, 11070}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kButtonNext && commandId != kButtonCancel) return;
    if (page.Ended()) return;
    GetClockSetter().InvokeSetSysTime();
    page.End(commandId == kButtonNext ? 0 : 1);
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakeFinishPage() { return std::make_unique<FinishPage>(); }

}  // namespace corvash::pages
