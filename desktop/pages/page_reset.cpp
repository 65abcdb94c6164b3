// Reset instructions page (167): after a completed flash, the user takes the
// battery out and restarts the device. The page first takes down what is
// left of the boot-loader link; "Weiter" starts ActiveSync again.
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

class ResetPage final : public PageProcedure {
 public:
  ResetPage(LinkTeardown& teardown, ActiveSyncControl& activeSync) : teardown_(teardown), activeSync_(activeSync) {}

  void OnOpen(PageDialog& page) override {
    teardown_.CloseLink();
    OpenCaptionedPage(page, Picture::kButtons);
    FillTexts(page, {{kResetHeading, kTextResetHeading},
                     {kResetSteps, kTextResetSteps},
                     {kResetContinueHint, kTextClickToContinue},
                     {kResetNextButton, kTextWeiter}});
  }

  // Enter and Escape do nothing: only "Weiter" leaves the page.
  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kResetNextButton || page.Ended()) return;
    activeSync_.RestartActiveSync();
    page.End(0);
  }

 private:
  LinkTeardown& teardown_;
  ActiveSyncControl& activeSync_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeResetPage(LinkTeardown& teardown, ActiveSyncControl& activeSync) {
  return std::make_unique<ResetPage>(teardown, activeSync);
}

}  // namespace corvash::pages
