#include "desktop/handheld/power_watch.h"

#include "common/clock.h"
#include "desktop/session/page_ids.h"

namespace corvash::handheld {
namespace {

constexpr int kButtonNext = 1;
using session::kButtonBack;
constexpr uint32_t kPowerPollMs = 100;
constexpr uint32_t kPortTestPauseMs = 500;
constexpr uint8_t kOnMains = 1;

}  // namespace

int QueryMainsStatus(rapi::RemoteApi& api) {
  rapi::CePowerStatus status;
  if (api.CeGetSystemPowerStatusEx(status, 1) == 0) return -1;
  return status.ACLineStatus;
}

uint32_t CheckMainsPower(rapi::RemoteApi& api) {
  QueryMainsStatus(api);  // the first answer may be stale
  const int mains = QueryMainsStatus(api);
  if (mains < 0) return kPowerUnknown;
  return mains == kOnMains ? kPowerGoOn : kPowerNoMains;
}

void RunPowerWatch(rapi::RemoteApi& api, session::WorkerPage& warning, const std::atomic<uint32_t>& linkClosed) {
  while (linkClosed.load() == 0) {
    common::SleepMs(kPowerPollMs);
    const int mains = QueryMainsStatus(api);
    if (mains >= 0) warning.Enable(kButtonNext, mains == kOnMains);
  }
}

void RunBootLoaderWatch(rapi::RemoteApi& api, session::WorkerPage& page, std::atomic<uint32_t>& stop,
                        const std::function<uint32_t()>& testPorts) {
  if (stop.load() != 0) return;
  // The handheld still runs its system: the user may go back, not on.
  for (;;) {
    common::SleepMs(kPowerPollMs);
    if (QueryMainsStatus(api) < 0) break;
    page.Enable(kButtonBack, true);
    page.Enable(kButtonNext, false);
    if (stop.load() != 0) return;
  }
  // It has left its system: look for its boot loader on the ports.
  for (;;) {
    if (stop.load() != 0) return;
    common::SleepMs(kPortTestPauseMs);
    if (testPorts() != 0) break;
  }
  page.Enable(kButtonBack, false);
  page.Enable(kButtonNext, true);
  stop.store(1);
}

}  // namespace corvash::handheld
