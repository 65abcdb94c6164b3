#include "emulator/emulated_handheld.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>
#include <vector>

#include "common/file_store_paths.h"
#include "emulator/control_socket.h"
#include "rapi/device_server.h"
#include "emulator/pty_endpoint.h"

namespace corvash::emulator {
namespace {

std::vector<std::string> Words(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

EmulatedHandheld::EmulatedHandheld(std::filesystem::path stateDir, std::unique_ptr<FlashImage> flash,
                                   HandheldConfig config)
    : state_(std::move(stateDir)), flash_(std::move(flash)), config_(config), peer_(*flash_, screen_) {
  screen_.Load(state_.LoadScreen());
  savedScreen_ = screen_.Generation();
}

std::unique_ptr<EmulatedHandheld> EmulatedHandheld::Open(const std::filesystem::path& stateDir,
                                                         std::string* error) {
  const StateFolder state(stateDir);
  HandheldConfig config;
  if (!state.Load(&config, error)) return nullptr;
  auto flash = FlashImage::OpenFile(state.FlashPath(), kFlashBase, error);
  if (!flash) return nullptr;
  return std::unique_ptr<EmulatedHandheld>(new EmulatedHandheld(stateDir, std::move(flash), config));
}

EmulatedHandheld::~EmulatedHandheld() { Stop(); }

bool EmulatedHandheld::Start(const std::filesystem::path& prefix, const std::string& port, std::string* error,
                             ServeOptions options) {
  std::lock_guard link(linkMutex_);
  if (started_) {
    *error = "already serving";
    return false;
  }
  if (!ValidPortName(port)) {
    *error = "unknown port \"" + port + "\" (com1, com2, wceusbsh001, wceusbsh002)";
    return false;
  }
  lockFd_ = ::open(state_.LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    *error = state_.Dir().string() + " is served by another k5210-emu already";
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
    return false;
  }
  prefix_ = prefix;
  port_ = port;
  options_ = options;
  {
    std::lock_guard lock(mutex_);
    if (config_.mode == HandheldMode::Off) config_.mode = HandheldMode::System;
    peer_.Restart();
    if (!SaveLocked(error)) return false;
  }
  bool plugged = false;
  {
    std::lock_guard lock(mutex_);
    plugged = config_.cablePlugged;
  }
  started_ = true;
  if ((!plugged || PlugLocked(error)) && UpdateRemoteApiLocked(error)) {
    // Last, so that no request comes in before the handheld is up.
    control_ = ControlServer::Start(
        state_.ControlSocketPath(), [this](std::string_view request) { return HandleRequest(request); }, error);
    if (control_) return true;
  }
  started_ = false;
  remoteApi_.reset();
  UnplugLocked();
  ::close(lockFd_);
  lockFd_ = -1;
  return false;
}

void EmulatedHandheld::Stop() {
  // The control thread may be waiting for linkMutex_; let it finish first.
  control_.reset();
  std::lock_guard link(linkMutex_);
  remoteApi_.reset();
  UnplugLocked();
  started_ = false;
  if (lockFd_ >= 0) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
}

bool EmulatedHandheld::PlugLocked(std::string* error) {
  if (endpoint_ && !endpoint_->DropRequested()) return true;
  UnplugLocked();
  endpoint_ = PtyEndpoint::Open(prefix_, port_, options_.baud, error);
  if (!endpoint_) return false;
  reader_ = std::thread([this, endpoint = endpoint_.get()] { Serve(endpoint); });
  return true;
}

void EmulatedHandheld::UnplugLocked() {
  if (!endpoint_) return;
  endpoint_->Interrupt();
  if (reader_.joinable()) reader_.join();
  endpoint_->Close();
  endpoint_.reset();
}

void EmulatedHandheld::Serve(PtyEndpoint* endpoint) {
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    const long count = endpoint->Read(buffer.data(), buffer.size());
    if (count <= 0) return;
    std::lock_guard lock(mutex_);
    // Outside its boot loader the handheld does not answer on the port.
    if (config_.mode == HandheldMode::BootLoader) {
      peer_.Receive(std::span(buffer.data(), static_cast<size_t>(count)), *endpoint);
    }
    SaveScreenIfChanged();
    if (endpoint->DropRequested()) {
      endpoint->Close();
      config_.cablePlugged = false;
      std::string error;
      SaveLocked(&error);
      return;
    }
  }
}

bool EmulatedHandheld::SaveLocked(std::string* error) { return state_.Save(config_, error); }

void EmulatedHandheld::SaveScreenIfChanged() {
  const uint64_t generation = screen_.Generation();
  if (generation == savedScreen_) return;
  if (state_.SaveScreen(screen_.Text())) savedScreen_ = generation;
}

bool EmulatedHandheld::Restart(HandheldMode mode, std::string* error) {
  std::lock_guard link(linkMutex_);
  bool plugged = false;
  {
    std::lock_guard lock(mutex_);
    config_.mode = mode;
    peer_.Restart();
    screen_.Clear();
    SaveScreenIfChanged();
    if (!SaveLocked(error)) return false;
    plugged = config_.cablePlugged;
  }
  return (!started_ || !plugged || PlugLocked(error)) && UpdateRemoteApiLocked(error);
}

bool EmulatedHandheld::Control(std::string_view action, std::string* error) {
  if (action == "system") return Restart(HandheldMode::System, error);
  if (action == "bootloader") return Restart(HandheldMode::BootLoader, error);
  if (action == "mains" || action == "battery") {
    std::lock_guard lock(mutex_);
    config_.power = action == "mains" ? PowerSource::Mains : PowerSource::Battery;
    return SaveLocked(error);
  }
  if (action == "off" || action == "unplug") {
    {
      std::lock_guard link(linkMutex_);
      remoteApi_.reset();
      UnplugLocked();
      std::lock_guard lock(mutex_);
      if (action == "off") {
        config_.mode = HandheldMode::Off;
        peer_.Restart();
      } else {
        config_.cablePlugged = false;
      }
      if (!SaveLocked(error)) return false;
    }
    if (action == "off") RequestStop();
    return true;
  }
  if (action == "plug") {
    std::lock_guard link(linkMutex_);
    bool on = false;
    {
      std::lock_guard lock(mutex_);
      config_.cablePlugged = true;
      if (!SaveLocked(error)) return false;
      on = config_.mode != HandheldMode::Off;
    }
    return (!started_ || !on || PlugLocked(error)) && UpdateRemoteApiLocked(error);
  }
  *error = "unknown action \"" + std::string(action) +
           "\" (system, bootloader, off, mains, battery, unplug, plug)";
  return false;
}

bool EmulatedHandheld::ArmFault(const Fault& fault, std::string* error) {
  if (fault.kind == FaultKind::RefuseFile || fault.kind == FaultKind::Clear) {
    std::lock_guard refuse(refuseMutex_);
    refuseName_ = fault.kind == FaultKind::RefuseFile ? fault.name : std::string();
    refuseLeft_ = fault.count;
    if (fault.kind == FaultKind::RefuseFile) return true;
  }
  if (fault.kind == FaultKind::BusyPort || fault.kind == FaultKind::Clear) {
    std::lock_guard link(linkMutex_);
    const bool port = endpoint_ && !endpoint_->DropRequested();
    if (fault.kind == FaultKind::BusyPort) {
      if (!port) {
        *error = "the handheld has no port to hold";
        return false;
      }
      return endpoint_->HoldBusy(error);
    }
    if (port) endpoint_->ReleaseBusy();
  }
  std::lock_guard lock(mutex_);
  peer_.Arm(fault);
  return true;
}

std::string EmulatedHandheld::HandleRequest(std::string_view request) {
  const auto words = Words(request);
  std::string error;
  bool done = false;
  if (words.size() == 2 && words[0] == "ctl") {
    done = Control(words[1], &error);
  } else if (words.size() >= 2 && words[0] == "fault") {
    const auto fault = ParseFaultWords(std::vector<std::string>(words.begin() + 1, words.end()), &error);
    done = fault && ArmFault(*fault, &error);
  } else {
    error = "unknown request \"" + std::string(request) + "\"";
  }
  return done ? std::string("ok") : "error " + error;
}

bool EmulatedHandheld::UpdateRemoteApiLocked(std::string* error) {
  bool serve = false;
  {
    std::lock_guard lock(mutex_);
    serve = started_ && config_.mode == HandheldMode::System && config_.cablePlugged;
  }
  if (!serve) {
    remoteApi_.reset();
    return true;
  }
  if (remoteApi_) return true;
  rapi::DeviceEndConfig config;
  config.storeRoot = state_.FileStoreDir();
  config.stateDir = state_.Dir();
  config.powerStatus = [this] { return PowerStatus(); };
  config.allowCreate = [this](std::string_view name) { return AllowCreate(name); };
  config.created = [this](std::string_view name) { Created(name); };
  std::error_code code;
  std::filesystem::create_directories(config.storeRoot, code);
  remoteApi_ = rapi::DeviceServer::Start(prefix_ / "rapi.sock", std::move(config), error);
  return remoteApi_ != nullptr;
}

rapi::CePowerStatus EmulatedHandheld::PowerStatus() const {
  rapi::CePowerStatus status;
  std::lock_guard lock(mutex_);
  status.ACLineStatus = config_.power == PowerSource::Mains ? 1 : 0;
  status.BatteryFlag = 1;  // high
  status.BatteryLifePercent = 100;
  return status;
}

bool EmulatedHandheld::AllowCreate(std::string_view name) {
  std::lock_guard refuse(refuseMutex_);
  if (refuseName_.empty() || !handheld::SameNameNoCase(name, refuseName_)) return true;
  return refuseLeft_ > 0;
}

void EmulatedHandheld::Created(std::string_view name) {
  std::lock_guard refuse(refuseMutex_);
  if (!refuseName_.empty() && handheld::SameNameNoCase(name, refuseName_) && refuseLeft_ > 0) --refuseLeft_;
}

void EmulatedHandheld::WaitForStop() {
  std::unique_lock lock(stopMutex_);
  stopChanged_.wait(lock, [this] { return stopRequested_; });
}

void EmulatedHandheld::RequestStop() {
  {
    std::lock_guard lock(stopMutex_);
    stopRequested_ = true;
  }
  stopChanged_.notify_all();
}

HandheldMode EmulatedHandheld::Mode() const {
  std::lock_guard lock(mutex_);
  return config_.mode;
}

HandheldConfig EmulatedHandheld::Config() const {
  std::lock_guard lock(mutex_);
  return config_;
}

std::filesystem::path EmulatedHandheld::PortDevice() const {
  std::lock_guard link(linkMutex_);
  return endpoint_ && !endpoint_->DropRequested() ? endpoint_->SlavePath() : std::filesystem::path();
}

std::filesystem::path EmulatedHandheld::PortLink() const {
  std::lock_guard link(linkMutex_);
  return prefix_ / "dosdevices" / port_;
}

LoaderStats EmulatedHandheld::Stats() const {
  std::lock_guard lock(mutex_);
  return peer_.Stats();
}

}  // namespace corvash::emulator
