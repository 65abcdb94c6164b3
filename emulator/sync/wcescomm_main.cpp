// wcescomm.exe: the sync software's connection process. Its window title is
// what the desktop's window search looks for.
#include "emulator/sync/sync_process.h"

int main() { return corvash::emulator::sync::RunSyncProcess({"wcescomm.exe", "WCES Manager Thunk Window", true}); }
