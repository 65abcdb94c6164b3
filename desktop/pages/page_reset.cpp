// Reset instructions page (167): after a completed flash, the user takes the
// battery out and restarts the device. The page first takes down what is
// left of the boot-loader link; "Weiter" starts ActiveSync again.
#include <unistd.h>

#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "desktop/pages/page_workers.h"
#include "desktop/platform/serial_port.h"

namespace corvash::pages {
namespace {

constexpr int kResetNextButton = 1181;

void ShutDownBootLink() {
  session::UpdateSession& session = session::Session();
  session.linkClosed.store(1);
  GetLinkTeardown().ShutDownReadThread();
  if (std::shared_ptr<platform::SerialPort> port = session.linkHandle.exchange(nullptr)) port->Close();
  const int fd = session.imageFileHandle.exchange(-1);
  if (fd >= 0) ::close(fd);
}

class ResetPage final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    ShutDownBootLink();
    OpenCaptionedPage(page, Picture::kButtons);
    FillTexts(page, {{1193, 11155}, {1194, 11156}, {1195, 11188}, {kResetNextButton, kTextWeiter}});
  }

  // Enter and Escape do nothing: only "Weiter" leaves the page.
  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kResetNextButton || page.Ended()) return;
    GetActiveSyncControl().RestartActiveSync();
    page.End(0);
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakeResetPage() { return std::make_unique<ResetPage>(); }

}  // namespace corvash::pages
