// k5210_window_screenshots OUTPUT_FOLDER: draws the handheld's window in its
// states into OUTPUT_FOLDER/handheld-<state>.png, offscreen, for review. The
// boot loader's screens come from the emulator's own loader, fed what the
// desktop sends: the version box after a flash, and a download stopped a
// third of the way through a load.
#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/loader_wire.h"
#include "emulator/flash_image.h"
#include "emulator/loader_peer.h"
#include "emulator/memory_link.h"
#include "emulator/text_screen.h"
#include "emulator/window/handheld_window.h"

namespace corvash::emulator::window {
namespace {

constexpr uint32_t kRecordLength = 0x20000;

class FixedPanel final : public HandheldPanel {
 public:
  explicit FixedPanel(HandheldSnapshot snapshot) : snapshot_(std::move(snapshot)) {}
  HandheldSnapshot Snapshot() const override { return snapshot_; }
  bool Act(std::string_view, std::string*) override { return true; }
  bool Ended() const override { return false; }
  std::string Name() const override { return "handheld"; }

 private:
  HandheldSnapshot snapshot_;
};

// A handheld's loader, fed bytes as the desktop sends them.
struct Loader {
  std::unique_ptr<FlashImage> flash = FlashImage::InMemory(kFlashBase, 48u << 20);
  TextScreen screen;
  BootLoaderPeer peer{*flash, screen};
  MemoryLink link;

  void Send(const std::string& bytes) {
    peer.Receive(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), link);
  }
  HandheldSnapshot Snapshot(HandheldConfig config) const { return TakeSnapshot(config, *flash, screen, peer); }
};

std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

HandheldConfig Config(const char* version, HandheldMode mode) {
  HandheldConfig config;
  config.identity.version = version;
  config.mode = mode;
  return config;
}

HandheldSnapshot VersionBox() {
  Loader loader;
  const std::string version = "2.04";
  for (size_t line = 0; line < common::VERSION_BOX_LINES.size(); ++line) {
    std::string text(common::VERSION_BOX_LINES[line]);
    if (line >= common::VERSION_BOX_FIRST_CHAR_LINE &&
        line < common::VERSION_BOX_FIRST_CHAR_LINE + common::VERSION_BOX_CHAR_LINES) {
      text.replace(text.find("%c"), 2, 1, version[line - common::VERSION_BOX_FIRST_CHAR_LINE]);
    }
    loader.Send(text);
  }
  HandheldSnapshot snapshot = loader.Snapshot(Config("2.04", HandheldMode::BootLoader));
  snapshot.downloadsCompleted = 2;
  return snapshot;
}

HandheldSnapshot MidDownload() {
  Loader loader;
  const uint32_t start = kFlashBase + 0x80000;
  const uint32_t total = 0xF80000;
  loader.Send("lnb c:\\test.nbf A0000000 F80000 00080000\r");
  loader.Send(std::string(common::SYNC_HEADER) + Le32(start) + Le32(total));
  const std::string data(kRecordLength, '\x5A');
  for (uint32_t record = 0; record < 41; ++record) {
    loader.Send(Le32(start + record * kRecordLength) + Le32(kRecordLength) + Le32(0) + data);
  }
  return loader.Snapshot(Config("2.03", HandheldMode::BootLoader));
}

bool Render(const HandheldSnapshot& snapshot, const std::filesystem::path& file) {
  FixedPanel panel(snapshot);
  HandheldWindow window(panel);
  window.show();
  QCoreApplication::processEvents();
  const bool saved = window.grab().save(QString::fromStdString(file.string()), "PNG");
  if (!saved) std::fprintf(stderr, "k5210_window_screenshots: cannot write %s\n", file.c_str());
  return saved;
}

int RenderAll(const std::filesystem::path& folder) {
  HandheldSnapshot system;
  system.mode = HandheldMode::System;
  system.identity.version = "2.03";
  system.flashMb = 32;
  HandheldSnapshot battery = system;
  battery.power = PowerSource::Battery;
  battery.cablePlugged = false;
  HandheldSnapshot off = system;
  off.mode = HandheldMode::Off;
  const std::vector<std::pair<const char*, HandheldSnapshot>> states = {
      {"system", system}, {"bootloader-version-box", VersionBox()}, {"off", off},
      {"battery-unplugged", battery}, {"mid-download", MidDownload()}};
  int written = 0;
  for (const auto& [name, snapshot] : states) {
    written += Render(snapshot, folder / (std::string("handheld-") + name + ".png")) ? 1 : 0;
  }
  std::printf("%d handheld states rendered into %s\n", written, folder.c_str());
  return written == static_cast<int>(states.size()) ? 0 : 1;
}

}  // namespace
}  // namespace corvash::emulator::window

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: k5210_window_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "k5210_window_screenshots: cannot create %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  return corvash::emulator::window::RenderAll(folder);
}
