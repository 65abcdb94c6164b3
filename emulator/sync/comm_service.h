#pragma once
// What wcescomm.exe does for the handheld served in its prefix: it holds the
// handheld's port (the pty slave that PREFIX/dosdevices/<port> links to) as
// another program holds it, so that the desktop's exclusive open fails, and
// while the handheld runs its system with its cable plugged it serves the
// remote API on PREFIX/rapi.sock against the handheld's state folder.
#include <filesystem>
#include <memory>

#include "emulator/served_prefix.h"

namespace corvash::rapi {
class DeviceServer;
}

namespace corvash::emulator::sync {

class CommService {
 public:
  CommService(std::filesystem::path prefix, ServedHandheld served);
  // Lets go of the port and closes rapi.sock with every connection.
  ~CommService();
  CommService(const CommService&) = delete;
  CommService& operator=(const CommService&) = delete;

  // Looks at the handheld again: its mode and cable (handheld.conf) and its
  // port link. Follows a new port, lets go of a vanished one, and opens or
  // closes the remote API. Called from one thread.
  void Refresh();

 private:
  void HoldPort();
  void ServeRemoteApi(bool serve);

  std::filesystem::path prefix_;
  ServedHandheld served_;
  std::filesystem::path heldDevice_;
  int portFd_ = -1;
  std::unique_ptr<rapi::DeviceServer> remoteApi_;
};

}  // namespace corvash::emulator::sync
