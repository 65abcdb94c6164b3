#include "emulator/sync/comm_service.h"

#include <unistd.h>

#include <iostream>

#include "emulator/handheld_state.h"
#include "emulator/port_busy.h"
#include "rapi/device_server.h"

namespace corvash::emulator::sync {

CommService::CommService(std::filesystem::path prefix, ServedHandheld served)
    : prefix_(std::move(prefix)), served_(std::move(served)) {}

CommService::~CommService() {
  remoteApi_.reset();
  ReleasePortBusy(portFd_);
}

void CommService::Refresh() {
  HoldPort();
  HandheldConfig config;
  std::string error;
  const bool loaded = StateFolder(served_.state).Load(&config, &error);
  ServeRemoteApi(loaded && config.mode == HandheldMode::System && config.cablePlugged);
}

void CommService::HoldPort() {
  std::error_code code;
  const std::filesystem::path device = std::filesystem::read_symlink(prefix_ / "dosdevices" / served_.port, code);
  if (portFd_ >= 0 && device == heldDevice_) return;
  // A pulled cable took the old pty with it; a plugged one brings a new pty.
  ReleasePortBusy(portFd_);
  heldDevice_.clear();
  if (device.empty()) return;
  std::string error;
  portFd_ = OpenPortBusy(device, &error);
  if (portFd_ >= 0) {
    heldDevice_ = device;
  } else {
    std::cerr << "wcescomm.exe: " << error << "\n";
  }
}

void CommService::ServeRemoteApi(bool serve) {
  if (!serve) {
    remoteApi_.reset();
    return;
  }
  if (remoteApi_) return;
  const StateFolder state(served_.state);
  rapi::DeviceEndConfig config;
  config.storeRoot = state.FileStoreDir();
  config.stateDir = state.Dir();
  config.powerStatus = [state] {
    HandheldConfig now;
    std::string error;
    rapi::CePowerStatus status;
    status.ACLineStatus = !state.Load(&now, &error) || now.power == PowerSource::Mains ? 1 : 0;
    status.BatteryFlag = 1;  // high
    status.BatteryLifePercent = 100;
    return status;
  };
  std::error_code code;
  std::filesystem::create_directories(config.storeRoot, code);
  std::string error;
  remoteApi_ = rapi::DeviceServer::Start(prefix_ / "rapi.sock", std::move(config), &error);
  if (!remoteApi_) std::cerr << "wcescomm.exe: " << error << "\n";
}

}  // namespace corvash::emulator::sync
