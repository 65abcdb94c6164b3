// wcesmgr.exe: the sync software's manager process. Its window title is what
// the desktop's window search looks for.
#include "emulator/sync/sync_process.h"

int main() { return corvash::emulator::sync::RunSyncProcess({"wcesmgr.exe", "DccMan", false}); }
