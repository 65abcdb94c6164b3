#include "emulator/handheld_state.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "emulator/flash_image.h"
#include "emulator/rom_image.h"

namespace corvash::emulator {
namespace {

constexpr size_t kMiB = 1 << 20;
constexpr uint32_t kMinFlashFileMb = 48;  // 0xA0000000 to 0xA3000000

std::map<std::string, std::string> ReadKeyValues(std::istream& in) {
  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::optional<uint32_t> ParseDecimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

}  // namespace

std::string_view ModeName(HandheldMode mode) {
  switch (mode) {
    case HandheldMode::System: return "system";
    case HandheldMode::BootLoader: return "bootloader";
    case HandheldMode::Off: return "off";
  }
  return "off";
}

std::optional<HandheldMode> ParseMode(std::string_view name) {
  if (name == "system") return HandheldMode::System;
  if (name == "bootloader") return HandheldMode::BootLoader;
  if (name == "off") return HandheldMode::Off;
  return std::nullopt;
}

size_t FlashFileLength(uint32_t flashMb) {
  return static_cast<size_t>(std::max(flashMb, kMinFlashFileMb)) * kMiB;
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view text) {
  const std::filesystem::path temporary =
      path.string() + ".new" + std::to_string(static_cast<long>(::getpid()));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out.flush()) return false;
  }
  std::error_code code;
  std::filesystem::rename(temporary, path, code);
  if (code) std::filesystem::remove(temporary, code);
  return !code;
}

bool StateFolder::Load(HandheldConfig* config, std::string* error) const {
  std::ifstream in(ConfigPath());
  if (!in) {
    *error = Dir().string() + " holds no handheld (no handheld.conf; make one with init)";
    return false;
  }
  auto values = ReadKeyValues(in);
  HandheldConfig loaded;
  loaded.identity.variant = values["variant"];
  loaded.identity.language = values["language"];
  loaded.identity.version = values["version"];
  const auto flash_mb = ParseDecimal(values["flash_mb"]);
  const auto mode = ParseMode(values["mode"]);
  const std::string& power = values["power"];
  const std::string& cable = values["cable"];
  std::string reason;
  if (!ValidIdentity(loaded.identity, &reason) || !flash_mb || *flash_mb == 0 ||
      *flash_mb > kMaxFlashMb || !mode || (power != "mains" && power != "battery") ||
      (cable != "plugged" && cable != "unplugged")) {
    *error = ConfigPath().string() + " is damaged";
    return false;
  }
  loaded.flashMb = *flash_mb;
  loaded.mode = *mode;
  loaded.power = power == "mains" ? PowerSource::Mains : PowerSource::Battery;
  loaded.cablePlugged = cable == "plugged";
  *config = loaded;
  return true;
}

bool StateFolder::Save(const HandheldConfig& config, std::string* error) const {
  std::ostringstream out;
  out << "# k5210-emu handheld\n"
      << "model=" << kModelName << "\n"
      << "variant=" << config.identity.variant << "\n"
      << "language=" << config.identity.language << "\n"
      << "version=" << config.identity.version << "\n"
      << "flash_mb=" << config.flashMb << "\n"
      << "mode=" << ModeName(config.mode) << "\n"
      << "power=" << (config.power == PowerSource::Mains ? "mains" : "battery") << "\n"
      << "cable=" << (config.cablePlugged ? "plugged" : "unplugged") << "\n";
  if (!ReplaceFile(ConfigPath(), out.str())) {
    *error = "cannot write " + ConfigPath().string();
    return false;
  }
  return true;
}

bool StateFolder::SaveScreen(const std::string& text) const { return ReplaceFile(ScreenPath(), text); }

std::string StateFolder::LoadScreen() const {
  std::ifstream in(ScreenPath(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool InitHandheld(const std::filesystem::path& dir, const InitOptions& options, std::string* error) {
  HandheldConfig config;
  if (!options.rom.empty()) {
    RomHeader header;
    if (!ReadRomHeader(options.rom, &header, error)) return false;
    config.identity = {header.variant, header.language, header.version};
  }
  if (options.variant) config.identity.variant = *options.variant;
  if (options.language) config.identity.language = *options.language;
  if (options.version) config.identity.version = *options.version;
  if (!ValidIdentity(config.identity, error)) return false;
  if (options.flashMb == 0 || options.flashMb > kMaxFlashMb) {
    *error = "--flash-mb must be 1 to " + std::to_string(kMaxFlashMb);
    return false;
  }
  config.flashMb = options.flashMb;

  std::error_code code;
  std::filesystem::create_directories(dir, code);
  if (code) {
    *error = "cannot make " + dir.string() + ": " + code.message();
    return false;
  }
  const StateFolder state(dir);
  auto flash = FlashImage::CreateFile(state.FlashPath(), kFlashBase, FlashFileLength(config.flashMb), error);
  if (!flash) return false;
  const size_t flash_bytes = static_cast<size_t>(config.flashMb) * kMiB;
  if (options.rom.empty()) {
    StoreGeneratedRom(*flash, config.identity, std::min(kGeneratedPayloadLength, flash_bytes));
  } else if (!LoadRomPayload(options.rom, *flash, flash_bytes, error)) {
    return false;
  }
  if (!WriteIdentity(*flash, config.identity, error)) return false;
  for (const char* folder : {"Windows", "Temp"}) {
    std::filesystem::create_directories(state.FileStoreDir() / folder, code);
    if (code) {
      *error = "cannot make " + (state.FileStoreDir() / folder).string() + ": " + code.message();
      return false;
    }
  }
  if (!state.SetClock(kInitialClock)) {
    *error = "cannot write " + state.ClockPath().string();
    return false;
  }
  if (!state.SaveScreen(std::string())) {
    *error = "cannot write " + state.ScreenPath().string();
    return false;
  }
  return state.Save(config, error);
}

}  // namespace corvash::emulator

#include <fcntl.h>
#include <sys/file.h>

namespace corvash::emulator {

bool StateIsServed(const StateFolder& state) {
  const int fd = ::open(state.LockPath().c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

}  // namespace corvash::emulator
