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
void ReleaseSerialLink(LinkTeardown& teardown, const std::atomic<uint32_t>& serialLink) {
  if (serialLink.load() != 1) return;
  teardown.ReleasePort();
}

class UpdateErrorScreen final : public PageProcedure {
 public:
  UpdateErrorScreen(LinkTeardown& teardown, const std::atomic<uint32_t>& serialLink)
      : teardown_(teardown), serialLink_(serialLink) {}

  void OnOpen(PageDialog& page) override {
    ReleaseSerialLink(teardown_, serialLink_);
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
  const std::atomic<uint32_t>& serialLink_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeUpdateErrorScreen(LinkTeardown& teardown, const std::atomic<uint32_t>& serialLink) {
  return std::make_unique<UpdateErrorScreen>(teardown, serialLink);
}

}  // namespace corvash::pages
