#pragma once
// The state folder of an emulated handheld, laid out as common/handheld_folder.h
// gives it (the device programs reach the same folder). Readers treat a
// missing or unreadable handheld.conf as an unusable state.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/handheld_folder.h"
#include "emulator/identity_record.h"

namespace corvash::emulator {

enum class HandheldMode { System, BootLoader, Off };
enum class PowerSource { Mains, Battery };

std::string_view ModeName(HandheldMode mode);
std::optional<HandheldMode> ParseMode(std::string_view name);

struct HandheldConfig {
  HandheldIdentity identity;
  uint32_t flashMb = 32;  // the size the handheld reports for its flash
  HandheldMode mode = HandheldMode::System;
  PowerSource power = PowerSource::Mains;
  bool cablePlugged = true;
};

// The flash file covers max(flashMb, 48) MiB from 0xA0000000: the identity
// search reads the asset data area of a WBT handheld at 0xA2FC0000, beyond a
// 32 MiB flash, so the file always reaches 0xA3000000.
size_t FlashFileLength(uint32_t flashMb);
inline constexpr uint32_t kMaxFlashMb = 64;

// The handheld's clock after init: 2003-01-01 00:00:00 UTC.
inline constexpr int64_t kInitialClock = 1041379200;

class StateFolder : public common::Folder {
 public:
  explicit StateFolder(std::filesystem::path dir) : common::Folder(std::move(dir)) {}

  // Where the sync software attaches to the running handheld (sync_hub.h).
  std::filesystem::path SyncSocketPath() const { return Dir() / "sync.sock"; }

  // False with `error` when the folder holds no usable handheld.
  bool Load(HandheldConfig* config, std::string* error) const;
  // Writes a new file and renames it over the old one.
  bool Save(const HandheldConfig& config, std::string* error) const;
  bool SaveScreen(const std::string& text) const;
  std::string LoadScreen() const;
};

struct InitOptions {
  // Unset fields come from the --rom image's header, else the defaults
  // NBT, ENG, 2.04.
  std::optional<std::string> variant;
  std::optional<std::string> language;
  std::optional<std::string> version;
  uint32_t flashMb = 32;
  std::filesystem::path rom;  // empty: a generated ROM
};

// Makes a handheld in `dir` (created when missing): erased flash, the ROM,
// the identity record, power on mains, mode system, a clear screen, the file
// store with \Windows and \Temp, the clock at kInitialClock.
bool InitHandheld(const std::filesystem::path& dir, const InitOptions& options, std::string* error);

// Writes `text` to `path` through a new file renamed over the old one.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text);

}  // namespace corvash::emulator

namespace corvash::emulator {
// Whether a running k5210-emu holds the state folder's lock.
bool StateIsServed(const StateFolder& state);
}  // namespace corvash::emulator
