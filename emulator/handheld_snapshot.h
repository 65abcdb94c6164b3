#pragma once
// What a person sees of the handheld at one moment, copied out of the
// running emulator for a window (or anything else that shows it): its mode,
// its power and cable, the ROM version its flash holds, the boot loader's
// text screen and how far a download has come. Plain values, no locks.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/download_receiver.h"
#include "emulator/flash_image.h"
#include "emulator/handheld_state.h"
#include "emulator/identity_record.h"

namespace corvash::emulator {

class BootLoaderPeer;
class TextScreen;

struct HandheldSnapshot {
  HandheldMode mode = HandheldMode::Off;
  PowerSource power = PowerSource::Mains;
  bool cablePlugged = true;
  // The identity the flash holds now (after a flash, the new ROM's); the
  // configured one where the flash holds none.
  HandheldIdentity identity;
  uint32_t flashMb = 0;
  std::vector<std::string> screen;  // the loader's rows, trailing blanks removed
  DownloadProgress download;
  uint32_t downloadsCompleted = 0;
};

// The identity in the reserve area's last used slot ("Quor 5210" + variant
// + language + version in UTF-16LE); nullopt when no slot holds one.
std::optional<HandheldIdentity> IdentityInFlash(const FlashImage& flash);

// Puts a snapshot together. The caller serialises access to `peer`.
HandheldSnapshot TakeSnapshot(const HandheldConfig& config, const FlashImage& flash, const TextScreen& screen,
                              const BootLoaderPeer& peer);

// What a window may do with a handheld: look at it and act on it as its
// user would. Snapshot and Ended may be called from any thread; Act blocks
// until the handheld has done it, so a window calls it off its GUI thread.
class HandheldPanel {
 public:
  virtual ~HandheldPanel() = default;
  virtual HandheldSnapshot Snapshot() const = 0;
  // One of the actions of `ctl`: system, bootloader, off, mains, battery,
  // unplug, plug. False with `error` when the handheld could not.
  virtual bool Act(std::string_view action, std::string* error) = 0;
  // The service has ended (SIGTERM, `ctl off`): nothing more to show.
  virtual bool Ended() const = 0;
  // A short name for the window's title: the state folder.
  virtual std::string Name() const = 0;
};

}  // namespace corvash::emulator
