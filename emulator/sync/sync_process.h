#pragma once
// The life of one of the desktop sync software's stand-ins, started by
// `run` or by the desktop (through the App Paths value) without arguments:
// it finds the handheld served in its prefix (CORVASH_PREFIX, else
// ~/.corvash; see served_prefix.h), attaches to it (sync_hub.h), registers
// its top-level window and lives until SIGTERM, SIGINT or SIGHUP, or until
// the handheld's service ends. wcescomm.exe also holds the port and serves
// the remote API (comm_service.h), looking at the handheld again on every
// "refresh".
#include <string>

namespace corvash::emulator::sync {

struct SyncProcessRole {
  const char* program;  // wcescomm.exe or wcesmgr.exe
  const char* title;    // its top-level window
  bool holdsPort;       // wcescomm.exe
};

// Returns the exit status: 0 once ended, or at once when one of its name
// runs already; 1 (with a line on standard error) when no handheld is
// served in the prefix.
int RunSyncProcess(const SyncProcessRole& role);

}  // namespace corvash::emulator::sync
