// Wait box (122): "please wait" while the device is checked. It ends on the
// private message 1074 (CloseWaitBox) or on Enter and Escape.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

class WaitBox final : public PageProcedure {
 public:
  explicit WaitBox(session::WizardFlow& flow) : flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    // waitDialog stays set after the box has ended; closing an ended box does nothing.
    flow_.waitDialog.store(1);
    SetPageText(page, kWaitText, kTextPleaseWait);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kCommandOk) page.End(1);
    if (commandId == kCommandCancel) page.End(2);
  }

  void OnMessage(PageDialog& page, int message) override {
    if (message == kMessageCloseWaitBox) page.End(1);
  }

 private:
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeWaitBox(session::WizardFlow& flow) { return std::make_unique<WaitBox>(flow); }

}  // namespace corvash::pages
