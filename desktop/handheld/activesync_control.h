#pragma once
// Control of the desktop sync software's processes ("wcesmgr.exe",
// "wcescomm.exe"), which hold the handheld's port while it runs its own
// system, and the restart of its connection program.
#include <cstdint>
#include <string>
#include <string_view>

namespace corvash::handheld {

// Ends the sync manager and then the connection process so that they
// release the port: waits 1000 ms, ends "wcesmgr.exe", waits 1000 ms, ends
// "wcescomm.exe", waits 1000 ms, each looked for as `windowsFamily`
// (QueryWindowsFamily) says. No result; blocks its caller about 3 s. Runs on
// the caller's thread (wizard driver or port test).
void StopActiveSync(uint32_t windowsFamily);

// Only processes of this user that belong to the prefix (as
// platform::BelongsToPrefix tells) are ever ended: another prefix's sync
// software, or another user's, is left alone.
//
// Ends the first process (in list order) that matches `name`, looked for as
// `windowsFamily` (QueryWindowsFamily) says: family 1 by the lower-cased
// executable path containing the name, family 0 by the lower-cased image
// name containing it, family 2 by the sync software's window titles
// ("DccMan", 500 ms, "WCES Manager Thunk Window"), whatever the name. At most
// one process per search; nothing is reported.
void TerminateProcessByName(std::string name, uint32_t windowsFamily);

// Ends the process that owns the first top-level window titled `title`
// (without regard to case) among the windows of this prefix's processes.
// Nothing is reported.
void CloseWindowOwnerByTitle(std::string_view title);

// Starts the connection program that the prefix's system.reg names (App
// Paths of WCESCOMM.EXE, default value, at most 256 bytes). Nothing is
// reported; a missing value starts nothing.
void RestartActiveSync();

}  // namespace corvash::handheld
