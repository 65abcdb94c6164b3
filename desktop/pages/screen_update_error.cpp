// FEHLER 113 (114): the flash did not complete. Its instructions refer to
// the numbered buttons of the button picture.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_workers.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"
#include "desktop/platform/serial_port.h"

namespace corvash::pages {
namespace {

// On a serial link the screen lets go of the receive thread (without ending
// it) and closes the port; a port's Close wakes a reader still waiting on it.
void ReleaseSerialLink() {
  session::UpdateSession& session = session::Session();
  if (session.serialLink.load() != 1) return;
  GetLinkTeardown().ReleaseReadThread();
  if (std::shared_ptr<platform::SerialPort> port = session.linkHandle.exchange(nullptr)) port->Close();
}

class UpdateErrorScreen final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    ReleaseSerialLink();
    OpenScreen(page, {{1039, 11028},
                      {{1147, 11127}, {1226, 11167}, {1102, 11081}, {1103, kTextClickToQuit}},
                      kButtonCancel,
                      Picture::kButtons});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonCancel) page.End(1);
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakeUpdateErrorScreen() { return std::make_unique<UpdateErrorScreen>(); }

}  // namespace corvash::pages
