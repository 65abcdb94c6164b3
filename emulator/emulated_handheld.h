#pragma once
// A handheld kept in a state folder, served while it runs: its boot loader
// on a pty linked into a prefix's dosdevices/, acted on through its control
// socket (control_socket.h) or directly through this class (tests).
//
// Modes: in "bootloader" the loader answers on the port; in "system" the
// port is there but the loader does not answer on it; "off" closes the port
// and ends Start()'s service (WaitForStop returns). A restart (system or
// bootloader) puts the loader back at its prompt and clears its screen.
//
// With ServeOptions::syncPrograms the handheld has the desktop's sync
// software with it (sync_hub.h): wcesmgr.exe and wcescomm.exe start when it
// is served in its system or restarts into it; wcescomm.exe holds the port
// and, while the handheld runs its system with its cable plugged, serves the
// remote API on PREFIX/rapi.sock. Every change of mode, cable or port is
// shown to wcescomm.exe before the call returns. Stop ends them.
//
// All public calls are thread-safe.
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "emulator/fault_plan.h"
#include "emulator/flash_image.h"
#include "emulator/handheld_snapshot.h"
#include "emulator/handheld_state.h"
#include "emulator/loader_peer.h"
#include "emulator/text_screen.h"
#include "emulator/refuse_file_fault.h"
#include "emulator/served_prefix.h"

namespace corvash::emulator {

class ControlServer;
class PtyEndpoint;
class SyncHub;

struct ServeOptions {
  uint32_t baud = 0;  // line speed; 0 = as fast as the pty goes
  // The folder of wcescomm.exe and wcesmgr.exe; empty: no sync software, so
  // no remote API either.
  std::filesystem::path syncPrograms;
};

class EmulatedHandheld {
 public:
  // Opens the handheld in `stateDir`. Null with `error` when the folder holds
  // no usable handheld.
  static std::unique_ptr<EmulatedHandheld> Open(const std::filesystem::path& stateDir, std::string* error);
  ~EmulatedHandheld();
  EmulatedHandheld(const EmulatedHandheld&) = delete;
  EmulatedHandheld& operator=(const EmulatedHandheld&) = delete;

  // Serves the handheld: takes the state folder's lock (one server per
  // handheld), listens on its control socket, switches it on (an "off"
  // handheld starts in its system) and, with its cable plugged, puts its
  // port `port` (com1, com2, wceusbsh001, wceusbsh002) into
  // `prefix`/dosdevices. With sync programs it also writes their entries
  // into `prefix`/system.reg where missing, PREFIX/k5210-state, removes
  // window files of processes that are gone, and starts the sync software
  // in the system. False with `error` when any of it fails.
  bool Start(const std::filesystem::path& prefix, const std::string& port, std::string* error,
             ServeOptions options = {});
  // Closes the port and the control socket. Idempotent.
  void Stop();

  // What `ctl ACTION` does: system, bootloader, off, mains, battery, unplug, plug.
  bool Control(std::string_view action, std::string* error);
  // What `fault KIND [N]` does.
  bool ArmFault(const Fault& fault, std::string* error);

  // Blocks until "off" (or RequestStop). The caller then calls Stop().
  void WaitForStop();
  void RequestStop();

  HandheldMode Mode() const;
  HandheldConfig Config() const;
  // The device node of the port (/dev/pts/N); empty while there is none.
  std::filesystem::path PortDevice() const;
  // prefix/dosdevices/<port>.
  std::filesystem::path PortLink() const;
  LoaderStats Stats() const;
  // What a person looking at the handheld sees now: mode, power, cable, the
  // ROM version its flash holds, the loader's screen, a download's progress.
  HandheldSnapshot Snapshot() const;
  FlashImage& Flash() { return *flash_; }
  TextScreen& Screen() { return screen_; }

 private:
  EmulatedHandheld(std::filesystem::path stateDir, std::unique_ptr<FlashImage> flash, HandheldConfig config);
  std::string HandleRequest(std::string_view request);
  bool Restart(HandheldMode mode, std::string* error);
  bool PlugLocked(std::string* error);   // linkMutex_ held
  void UnplugLocked();                   // linkMutex_ held
  bool StartSyncSoftware(std::string* error);  // linkMutex_ held
  // Shows a change to wcescomm.exe; in the system, first starts the sync
  // software where it does not run. No lock held.
  bool UpdateSyncSoftware(bool startMissing, std::string* error);
  // wcescomm.exe has ended: its hold on the port is gone.
  void SyncCommGone();
  void Serve(PtyEndpoint* endpoint);
  bool SaveLocked(std::string* error);   // mutex_ held
  void SaveScreenIfChanged();            // mutex_ held

  StateFolder state_;
  std::unique_ptr<FlashImage> flash_;
  TextScreen screen_;

  // Serialises what changes the port: plug, unplug, off, faults on the port, stop.
  mutable std::mutex linkMutex_;
  std::unique_ptr<PtyEndpoint> endpoint_;
  std::thread reader_;
  std::unique_ptr<ControlServer> control_;
  std::shared_ptr<SyncHub> hub_;
  bool busyPending_ = false;  // busy-port armed while wcescomm.exe holds the port
  int lockFd_ = -1;
  std::unique_ptr<PrefixClaim> prefixClaim_;  // held while serving
  std::filesystem::path prefix_;
  std::string port_;
  ServeOptions options_;
  bool started_ = false;

  // Guards the loader, the configuration and the saved screen.
  mutable std::mutex mutex_;
  HandheldConfig config_;
  BootLoaderPeer peer_;
  uint64_t savedScreen_ = 0;

  RefuseFileFault refuse_;

  std::mutex stopMutex_;
  std::condition_variable stopChanged_;
  bool stopRequested_ = false;
};

}  // namespace corvash::emulator
