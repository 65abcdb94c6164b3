#pragma once
// The state folder of an emulated handheld, as the emulator and the programs
// that run on the handheld (backup.exe, the device libraries, served by
// device/platform) both reach it. The emulator names the folder in the
// environment of every program and library it runs (K5210_STATE).
//
//   handheld.conf  identity, flash size, mode, power and cable (key=value lines)
//   flash.bin      the flash from 0xA0000000
//   screen.txt     the boot loader's text screen
//   clock          the handheld's clock: seconds it runs ahead of the host's UTC
//   debug.log      the device programs' debug output, one line a call
//   files/         the file store (\Windows, \Temp, ...), looked up without regard to case
//   windows/       the top-level windows of running device programs, one file a window class
//   control.sock   the running emulator's control socket
//   refuse-file    the armed refuse-file fault (refuse_file_record.h)
//   fault-refuse-time  the armed refuse-time fault: the next set-system-time
//                  refuses and removes the file, so each arming refuses once
//   rapi.lock, run.lock  held by the running emulator
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvash::common {

// The environment variable that names the state folder to device programs.
inline constexpr const char* kStateVariable = "K5210_STATE";

class Folder {
 public:
  explicit Folder(std::filesystem::path dir) : dir_(std::move(dir)) {}
  // The folder named by K5210_STATE; nullopt when the variable is unset or empty.
  static std::optional<Folder> FromEnvironment();

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path ConfigPath() const { return dir_ / "handheld.conf"; }
  std::filesystem::path FlashPath() const { return dir_ / "flash.bin"; }
  std::filesystem::path ScreenPath() const { return dir_ / "screen.txt"; }
  std::filesystem::path ClockPath() const { return dir_ / "clock"; }
  std::filesystem::path DebugLogPath() const { return dir_ / "debug.log"; }
  std::filesystem::path FileStoreDir() const { return dir_ / "files"; }
  std::filesystem::path WindowsDir() const { return dir_ / "windows"; }
  std::filesystem::path ControlSocketPath() const { return dir_ / "control.sock"; }
  std::filesystem::path LockPath() const { return dir_ / "run.lock"; }
  // The fault files: the emulator arms them, the file store and the clock
  // of the handheld's services read them.
  std::filesystem::path RefuseFilePath() const { return dir_ / "refuse-file"; }
  std::filesystem::path RefuseTimeFlagPath() const { return dir_ / "fault-refuse-time"; }

  // The value of `key` in handheld.conf; nullopt when the file or the key is
  // missing.
  std::optional<std::string> ConfigValue(std::string_view key) const;

  // The handheld's clock as seconds since 1970-01-01 UTC: the host's UTC time
  // plus the offset kept in `clock` (one signed decimal line). A missing or
  // unreadable file reads as offset 0.
  int64_t ClockNow() const;
  // Sets the handheld's clock to `utcSeconds` (a new file renamed over the
  // old one). False when it cannot be written.
  bool SetClock(int64_t utcSeconds) const;

 private:
  std::filesystem::path dir_;
};

}  // namespace corvash::common
