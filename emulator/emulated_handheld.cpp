#include "emulator/emulated_handheld.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>
#include <vector>

#include "emulator/control_socket.h"
#include "emulator/pty_endpoint.h"
#include "emulator/served_prefix.h"
#include "emulator/sync_hub.h"
#include "emulator/sync_registry.h"
#include "emulator/toplevel_windows.h"

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
    : state_(std::move(stateDir)),
      flash_(std::move(flash)),
      config_(config),
      peer_(*flash_, screen_),
      refuse_(state_.RefuseFilePath()) {
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
  bool up = false;
  {
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
    // A prefix that a live handheld serves is not taken from it.
    prefixClaim_ = PrefixClaim::Take(prefix, error);
    if (!prefixClaim_) {
      ::close(lockFd_);
      lockFd_ = -1;
      return false;
    }
    prefix_ = prefix;
    port_ = port;
    options_ = options;
    started_ = true;
    bool plugged = false;
    {
      std::lock_guard lock(mutex_);
      if (config_.mode == HandheldMode::Off) config_.mode = HandheldMode::System;
      peer_.Restart();
      plugged = config_.cablePlugged;
      up = SaveLocked(error);
    }
    refuse_.Clear();  // faults do not outlive the service
    up = up && (!plugged || PlugLocked(error)) && StartSyncSoftware(error);
  }
  // Sync software and control socket last, so that no request comes in
  // before the handheld is up.
  if (up && UpdateSyncSoftware(true, error)) {
    std::lock_guard link(linkMutex_);
    control_ = ControlServer::Start(
        state_.ControlSocketPath(), [this](std::string_view request) { return HandleRequest(request); }, error);
    if (control_) return true;
  }
  Stop();
  return false;
}

bool EmulatedHandheld::StartSyncSoftware(std::string* error) {
  if (options_.syncPrograms.empty()) return true;
  RemoveStaleTopLevelWindows(prefix_);
  if (!AddSyncSoftwareEntries(prefix_ / "system.reg", options_.syncPrograms / kCommProgram, error) ||
      !WriteServedHandheld(prefix_, {state_.Dir(), port_}, error)) {
    return false;
  }
  SyncHubConfig config;
  config.socket = state_.SyncSocketPath();
  config.programDir = options_.syncPrograms;
  std::error_code code;
  config.prefix = std::filesystem::absolute(prefix_, code);  // the processes may start elsewhere
  config.commGone = [this] { SyncCommGone(); };
  hub_ = SyncHub::Start(std::move(config), error);
  return hub_ != nullptr;
}

bool EmulatedHandheld::UpdateSyncSoftware(bool startMissing, std::string* error) {
  std::shared_ptr<SyncHub> hub;
  {
    std::lock_guard link(linkMutex_);
    hub = hub_;
  }
  if (!hub) return true;
  if (startMissing && Mode() == HandheldMode::System) return hub->StartMissing(error);
  hub->Refresh();
  return true;
}

void EmulatedHandheld::SyncCommGone() {
  std::lock_guard link(linkMutex_);
  if (!endpoint_ || endpoint_->DropRequested()) return;
  if (busyPending_) {
    std::string error;
    busyPending_ = false;
    if (endpoint_->HoldBusy(&error)) return;
  }
  endpoint_->ForgetExclusiveMark();
}

void EmulatedHandheld::Stop() {
  // The control thread may be waiting for linkMutex_; let it finish first.
  control_.reset();
  std::shared_ptr<SyncHub> hub;
  {
    std::lock_guard link(linkMutex_);
    hub = std::move(hub_);
  }
  // Ends the sync software; its hub may call back, so no lock is held.
  hub.reset();
  std::lock_guard link(linkMutex_);
  if (started_) RemoveServedHandheld(prefix_, state_.Dir());
  UnplugLocked();
  busyPending_ = false;
  started_ = false;
  prefixClaim_.reset();
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
  {
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
    if (started_ && plugged && !PlugLocked(error)) return false;
  }
  return UpdateSyncSoftware(true, error);
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
    UpdateSyncSoftware(false, error);
    if (action == "off") RequestStop();
    return true;
  }
  if (action == "plug") {
    {
      std::lock_guard link(linkMutex_);
      bool on = false;
      {
        std::lock_guard lock(mutex_);
        config_.cablePlugged = true;
        if (!SaveLocked(error)) return false;
        on = config_.mode != HandheldMode::Off;
      }
      if (started_ && on && !PlugLocked(error)) return false;
    }
    return UpdateSyncSoftware(false, error);
  }
  *error = "unknown action \"" + std::string(action) +
           "\" (system, bootloader, off, mains, battery, unplug, plug)";
  return false;
}

bool EmulatedHandheld::ArmFault(const Fault& fault, std::string* error) {
  if (fault.kind == FaultKind::RefuseFile) return refuse_.Arm(fault.name, fault.count, error);
  if (fault.kind == FaultKind::Clear) refuse_.Clear();
  if (fault.kind == FaultKind::BusyPort || fault.kind == FaultKind::Clear) {
    std::lock_guard link(linkMutex_);
    const bool port = endpoint_ && !endpoint_->DropRequested();
    busyPending_ = false;
    if (fault.kind == FaultKind::BusyPort) {
      if (!port) {
        *error = "the handheld has no port to hold";
        return false;
      }
      if (endpoint_->HoldBusy(error)) return true;
      // wcescomm.exe holds the port: busy already, and held here once it ends.
      if (!hub_ || !hub_->CommAttached()) return false;
      busyPending_ = true;
      return true;
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

HandheldSnapshot EmulatedHandheld::Snapshot() const {
  std::lock_guard lock(mutex_);
  return TakeSnapshot(config_, *flash_, screen_, peer_);
}

}  // namespace corvash::emulator
