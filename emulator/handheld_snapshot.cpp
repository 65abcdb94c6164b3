#include "emulator/handheld_snapshot.h"

#include <array>

#include "emulator/loader_peer.h"
#include "emulator/text_screen.h"

namespace corvash::emulator {
namespace {

constexpr size_t kIdentityChars = 19;  // "Quor 5210" + NBT + ENG + 2.04

// The ASCII text of a UTF-16LE slot, up to its terminator; empty when a
// unit is not printable ASCII.
std::string SlotText(const FlashImage& flash, uint32_t slot) {
  std::array<uint8_t, kSlotLength> bytes{};
  flash.Read(slot, bytes);
  std::string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned unit = bytes[i] | (unsigned{bytes[i + 1]} << 8);
    if (unit == 0) return text;
    if (unit < 0x20 || unit > 0x7E) return {};
    text.push_back(static_cast<char>(unit));
  }
  return {};  // no terminator inside the slot
}

bool SlotIsFree(const FlashImage& flash, uint32_t slot) {
  std::array<uint8_t, 4> word{};
  flash.Read(slot, word);
  return word == std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF};
}

}  // namespace

std::optional<HandheldIdentity> IdentityInFlash(const FlashImage& flash) {
  uint32_t current = 0;
  for (uint32_t slot = kReserveArea.first; slot <= kReserveArea.lastStart && !SlotIsFree(flash, slot);
       slot += kSlotLength) {
    current = slot;
  }
  if (current == 0) return std::nullopt;
  const std::string text = SlotText(flash, current);
  if (text.size() != kIdentityChars || text.compare(0, kModelName.size(), kModelName) != 0) return std::nullopt;
  HandheldIdentity identity;
  identity.variant = text.substr(kModelName.size(), 3);
  identity.language = text.substr(kModelName.size() + 3, 3);
  identity.version = text.substr(kModelName.size() + 6, 4);
  return identity;
}

HandheldSnapshot TakeSnapshot(const HandheldConfig& config, const FlashImage& flash, const TextScreen& screen,
                              const BootLoaderPeer& peer) {
  HandheldSnapshot snapshot;
  snapshot.mode = config.mode;
  snapshot.power = config.power;
  snapshot.cablePlugged = config.cablePlugged;
  snapshot.identity = IdentityInFlash(flash).value_or(config.identity);
  snapshot.flashMb = config.flashMb;
  snapshot.screen = screen.Lines();
  snapshot.download = peer.Progress();
  snapshot.downloadsCompleted = peer.Stats().downloadsCompleted;
  return snapshot;
}

}  // namespace corvash::emulator
