#pragma once
// The handheld's mains power and its arrival in the boot loader, both seen
// through the remote API's power query: while the handheld runs its system
// and is linked, the query answers with the mains status; once it has left
// (reset into the boot loader, cable pulled) the query fails.
#include <atomic>
#include <cstdint>
#include <functional>

#include "desktop/session/worker_page.h"
#include "rapi/remote_api.h"

namespace corvash::handheld {

// The mains status byte of a fresh power query: 1 mains, 0 none, 255
// unknown; -1 when the query fails. Any thread (the watches ask while the
// wizard thread makes other remote-API calls).
int QueryMainsStatus(rapi::RemoteApi& api);

// CheckMainsPower results.
inline constexpr uint32_t kPowerNoMains = 0;  // the caller shows WARNUNG 111 (105), which decides
inline constexpr uint32_t kPowerGoOn = 1;
inline constexpr uint32_t kPowerUnknown = 2;

// Asks twice (only the second answer counts): kPowerUnknown when the query
// fails, kPowerGoOn on mains, kPowerNoMains otherwise. Shows nothing. Wizard
// thread.
uint32_t CheckMainsPower(rapi::RemoteApi& api);

// The power watch behind WARNUNG 111: until `linkClosed` is set, every
// 100 ms enables "Weiter" (1) of `warning` on mains and disables it without;
// a failed query leaves the button as it is. Thread body.
void RunPowerWatch(rapi::RemoteApi& api, session::WorkerPage& warning, const std::atomic<uint32_t>& linkClosed);

// The boot-loader watch behind the boot-mode instructions page (169): while
// the power query answers (the handheld still runs its system) keeps "Zurück"
// (1221) enabled and "Weiter" (1) disabled, every 100 ms; once it fails, runs
// `testPorts` every 500 ms until the boot loader answers, then disables
// "Zurück", enables "Weiter" and sets `stop`. Ends as soon as it sees `stop`
// set. Thread body.
void RunBootLoaderWatch(rapi::RemoteApi& api, session::WorkerPage& page, std::atomic<uint32_t>& stop,
                        const std::function<uint32_t()>& testPorts);

}  // namespace corvash::handheld
