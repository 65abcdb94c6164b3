#include "desktop/app/driver/run_control.h"

#include <cstdint>

#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"
#include "rapi/remote_api.h"

namespace corvash::driver {
namespace {

constexpr uint32_t kLinkWaitMs = 3000;

}  // namespace

bool RunOpen() { return session::Session().flow.mainWindow.load() != 0; }

void EndWithScreen(int screenId) {
  if (!RunOpen()) return;
  pages::RunPage(screenId);
  session::CloseMainWindow();
}

void StartRemoteApi() {
  session::RapiInit& init = session::Session().rapiInit;
  rapi::RapiInitRecord record;
  record.cbSize = init.cbSize;
  rapi::Api().CeRapiInitEx(record);
  init.heRapiInit = record.heRapiInit;
  init.hrRapiInit = record.hrRapiInit;
}

void EndRemoteApi() { rapi::Api().CeRapiUninit(); }

bool WaitForRemoteLink() {
  const std::shared_ptr<platform::Event> event = session::Session().rapiInit.heRapiInit;
  if (!event) {
    // A start that gave no event never links; the wait still takes its time.
    platform::SleepMs(kLinkWaitMs);
    return false;
  }
  return event->Wait(kLinkWaitMs);
}

}  // namespace corvash::driver
