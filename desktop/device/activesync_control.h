#pragma once
// Control of the desktop sync processes ("wcesmgr.exe", "wcescomm.exe"),
// which hold the handheld's port while it runs its own system.
namespace corvash::device {

// Ends the sync manager and then the connection process so that they
// release the port: waits 1000 ms, ends "wcesmgr.exe", waits 1000 ms, ends
// "wcescomm.exe", waits 1000 ms. No result; blocks its caller about 3 s.
// Runs on the caller's thread (wizard driver or boot-loader watch).
void StopActiveSync();

}  // namespace corvash::device
