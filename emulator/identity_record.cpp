#include "emulator/identity_record.h"

#include <array>
#include <algorithm>
#include <cctype>
#include <cstring>

namespace corvash::emulator {
namespace {

bool SlotIsFree(const FlashImage& flash, uint32_t slot) {
  std::array<uint8_t, 4> word{};
  flash.Read(slot, word);
  return word == std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF};
}

bool SlotHolds(const FlashImage& flash, uint32_t slot, std::span<const uint8_t> record) {
  std::vector<uint8_t> bytes(record.size());
  flash.Read(slot, bytes);
  return std::memcmp(bytes.data(), record.data(), record.size()) == 0;
}

}  // namespace

std::string IdentityText(const HandheldIdentity& identity) {
  return std::string(kModelName) + identity.variant + identity.language + identity.version;
}

std::vector<uint8_t> Utf16Text(std::string_view text, size_t units) {
  std::vector<uint8_t> bytes;
  const size_t count = std::max(text.size() + 1, units);
  bytes.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    bytes.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    bytes.push_back(0);
  }
  return bytes;
}

std::vector<uint8_t> ReserveRecord(const HandheldIdentity& identity) {
  const std::string text = IdentityText(identity);
  const size_t units = (text.size() + 1 + 3) / 4 * 4;
  return Utf16Text(text, units);
}

std::vector<uint8_t> AssetRecord(const HandheldIdentity& identity) {
  const std::string text = IdentityText(identity).substr(0, kAssetTextChars);
  return Utf16Text(text, kAssetTextBytes / 2);
}


bool RecordInArea(FlashImage& flash, const SlotArea& area, std::span<const uint8_t> record) {
  uint32_t slot = area.first;
  uint32_t current = 0;  // last used slot, 0 = none
  while (slot <= area.lastStart && !SlotIsFree(flash, slot)) {
    current = slot;
    slot += kSlotLength;
  }
  if (current != 0 && SlotHolds(flash, current, record)) return true;
  if (slot > area.lastStart) return false;
  static constexpr std::array<uint8_t, 8> kRetire{};
  for (uint32_t used = area.first; used < slot; used += kSlotLength) flash.Program(used, kRetire);
  flash.Program(slot, record);
  return SlotHolds(flash, slot, record);
}

bool WriteIdentity(FlashImage& flash, const HandheldIdentity& identity, std::string* error) {
  const auto reserve = ReserveRecord(identity);
  if (!RecordInArea(flash, kReserveArea, reserve)) {
    // A ROM without an erased slot there (bytes of some other use): the
    // handheld is made anew, so its reserve area starts afresh.
    flash.Erase(kReserveArea.first, kReserveArea.lastStart + kSlotLength - kReserveArea.first);
    if (!RecordInArea(flash, kReserveArea, reserve)) {
      *error = "cannot write the reserve area";
      return false;
    }
  }
  if (!RecordInArea(flash, AssetAreaOf(identity.variant), AssetRecord(identity))) {
    *error = "no free slot in the asset data area";
    return false;
  }
  return true;
}

bool ValidIdentity(const HandheldIdentity& identity, std::string* error) {
  if (identity.variant != "NBT" && identity.variant != "WBT") {
    *error = "variant must be NBT or WBT, not \"" + identity.variant + "\"";
    return false;
  }
  const auto printable = [](std::string_view text) {
    for (char c : text) {
      if (!std::isgraph(static_cast<unsigned char>(c))) return false;
    }
    return true;
  };
  if (identity.language.size() != 3 || !printable(identity.language)) {
    *error = "language must be three letters, not \"" + identity.language + "\"";
    return false;
  }
  if (identity.version.size() != 4 || !printable(identity.version)) {
    *error = "version must be four characters such as 2.04, not \"" + identity.version + "\"";
    return false;
  }
  return true;
}

}  // namespace corvash::emulator
