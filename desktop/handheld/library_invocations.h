#pragma once
// The two device libraries the desktop invokes on a handheld that runs its
// system, each copied to \Windows first: Zembra.dll's WriteArea records the
// identity text in the reserved flash areas, Dovrin.dll's SetSysTime sets
// the handheld's clock from the PC's UTC time. Both are best effort: the
// wizard goes on whatever they report. Wizard thread (the finish page's
// clock call runs on the page's thread while the wizard thread waits).
#include <array>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "desktop/handheld/remote_session.h"
#include "device/common/clock_record.h"

namespace corvash::handheld {

// Each opens a session on `remote`, copies its library from `programDir` and
// calls it. 0 when no remote-API session could be opened (five attempts,
// 2000 ms apart), otherwise 1, whether or not the copy, the call or the write
// on the handheld succeeded. InvokeWriteArea sends `identityText`;
// InvokeSetSysTime sends the PC's clock as it reads it once the session is
// open.
int InvokeWriteArea(RemoteSession& remote, std::string_view programDir, std::string_view identityText);
int InvokeSetSysTime(RemoteSession& remote, std::string_view programDir);

// Code units the reserved-area writer stores for `identityText`: its UTF-16
// units and the terminator, rounded up to a multiple of 4.
uint32_t WriteAreaLength(std::string_view identityText);

// The PC's time zone and its current UTC time, as SetSysTime takes them.
device::ClockRecord PcClockRecord();

}  // namespace corvash::handheld
