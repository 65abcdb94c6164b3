// Finish page (133): congratulations; leaving it sets the device clock.
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

class FinishPage final : public PageProcedure {
 public:
  explicit FinishPage(ClockSetter& clock) : clock_(clock) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kFinishText, kTextFinishCongratulations}, {kButtonNext, kTextFertigStellen}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kButtonNext && commandId != kButtonCancel) return;
    if (page.Ended()) return;
    clock_.InvokeSetSysTime();
    page.End(commandId == kButtonNext ? 0 : 1);
  }

 private:
  ClockSetter& clock_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeFinishPage(ClockSetter& clock) { return std::make_unique<FinishPage>(clock); }

}  // namespace corvash::pages
