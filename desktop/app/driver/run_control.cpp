#include "desktop/app/driver/run_control.h"

#include <cstdint>

#include "desktop/app/update_session.h"
#include "desktop/pages/page_host.h"
#include "desktop/platform/clock.h"
#include "rapi/remote_api.h"

namespace corvash::driver {
namespace {

constexpr uint32_t kLinkWaitMs = 3000;

}  // namespace

bool RunOpen() { return app::Session().mainWindow.load() != 0; }

void EndWithScreen(int screenId) {
  if (!RunOpen()) return;
  pages::RunPage(screenId);
  app::CloseMainWindow();
}

void StartRemoteApi() {
  app::RapiInit& init = app::Session().rapiInit;
  rapi::RapiInitRecord record;
  record.cbSize = init.cbSize;
  rapi::Api().CeRapiInitEx(record);
  init.heRapiInit = record.heRapiInit;
  init.hrRapiInit = record.hrRapiInit;
}

void EndRemoteApi() { rapi::Api().CeRapiUninit(); }

bool WaitForRemoteLink() {
  const std::shared_ptr<platform::Event> event = app::Session().rapiInit.heRapiInit;
  if (!event) {
    // A start that gave no event never links; the wait still takes its time.
    platform::SleepMs(kLinkWaitMs);
    return false;
  }
  return event->Wait(kLinkWaitMs);
}

}  // namespace corvash::driver
