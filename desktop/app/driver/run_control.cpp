#include "desktop/app/driver/run_control.h"

#include <cstdint>

#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"

namespace corvash::driver {
namespace {

constexpr uint32_t kLinkWaitMs = 3000;

}  // namespace

bool RunOpen(const session::WizardFlow& flow) { return flow.mainWindow.load() != 0; }

void EndWithScreen(const WizardContext& w, int screenId) {
  if (!RunOpen(w.run.flow)) return;
  w.pages.RunPage(screenId);
  session::CloseMainWindow(w.run.flow);
}

int ShowPage(const WizardContext& w, int templateId) { return w.pages.RunPage(templateId); }

void StartRemoteApi(handheld::RemoteSession& remote) { remote.StartOnce(); }

void EndRemoteApi(handheld::RemoteSession& remote) { remote.End(); }

bool WaitForRemoteLink(const handheld::RemoteSession& remote) {
  const std::shared_ptr<common::Event> event = remote.ConnectEvent();
  if (!event) {
    // A start that gave no event never links; the wait still takes its time.
    common::SleepMs(kLinkWaitMs);
    return false;
  }
  return event->Wait(kLinkWaitMs);
}

}  // namespace corvash::driver
