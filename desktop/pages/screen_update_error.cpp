// FEHLER 113 (114): the flash did not complete. Its instructions refer to
// the numbered buttons of the button picture.
#include "desktop/session/update_session.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

// On a serial link the screen lets go of the receive thread (without ending
// it) and closes the port; a port's Close wakes a reader still waiting on it.
void ReleaseSerialLink(LinkTeardown& teardown) {
  session::UpdateSession& session = session::Session();
  if (session.serialLink.load() != 1) return;
  teardown.ReleasePort();
}

class UpdateErrorScreen final : public PageProcedure {
 public:
  explicit UpdateErrorScreen(LinkTeardown& teardown) : teardown_(teardown) {}

  void OnOpen(PageDialog& page) override {
    ReleaseSerialLink(teardown_);
    OpenScreen(page, {{kUpdateErrorHeading, kTextUpdateErrorHeading},
                      {{kUpdateErrorSteps, kTextUpdateErrorSteps},
                       {kUpdateErrorKeys, kTextBootKeys},
                       {kUpdateErrorReconnect, kTextUpdateErrorReconnect},
                       {kUpdateErrorQuitHint, kTextClickToQuit}},
                      kButtonCancel,
                      Picture::kButtons});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonCancel) page.End(1);
  }

 private:
  LinkTeardown& teardown_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeUpdateErrorScreen(LinkTeardown& teardown) {
  return std::make_unique<UpdateErrorScreen>(teardown);
}

}  // namespace corvash::pages
