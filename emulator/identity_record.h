#pragma once
// Where the handheld keeps its identity and how it is laid out: the text
// "Quor 5210" + variant + language + version (19 characters) in UTF-16LE,
// zero-terminated, in 52-byte slots of the reserve area (the whole text) and
// of the asset data area of its variant (the first 15 characters). A slot
// whose first word reads 0xFFFFFFFF is free; a used slot is retired by
// clearing its first 8 bytes. This is the layout the reserved-area writer
// leaves on the device and that the desktop's identity read searches.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/flash_image.h"

namespace corvash::emulator {

// The slot layout is the flash's own (common/flash_layout.h).
using common::AssetAreaOf;
using common::kAssetTextBytes;
using common::kAssetTextChars;
using common::kModelName;
using common::kNbtAssetArea;
using common::kReserveArea;
using common::kSlotLength;
using common::kWbtAssetArea;
using common::SlotArea;

struct HandheldIdentity {
  std::string variant = "NBT";   // "NBT" or "WBT"
  std::string language = "ENG";  // three letters
  std::string version = "2.04";  // four characters
};

// "Quor 5210NBTENG2.04".
std::string IdentityText(const HandheldIdentity& identity);
// UTF-16LE of an ASCII text with its zero terminator, padded with zero units
// to `units` code units when that is longer.
std::vector<uint8_t> Utf16Text(std::string_view text, size_t units = 0);
// The reserve-area bytes of an identity: the text in UTF-16 with its
// terminator, rounded up to a multiple of 4 code units (40 bytes for 19 characters).
std::vector<uint8_t> ReserveRecord(const HandheldIdentity& identity);
// The asset-area bytes: the first 15 characters, terminated, 32 bytes.
std::vector<uint8_t> AssetRecord(const HandheldIdentity& identity);

// Makes `record` the current text of `area`: kept when the last used slot
// already holds it, otherwise every used slot is retired and the record goes
// into the first free slot, programmed as flash is. False when no slot is free.
bool RecordInArea(FlashImage& flash, const SlotArea& area, std::span<const uint8_t> record);

// Writes the identity into the reserve area and the asset area of its
// variant. A reserve area without a free slot is erased first (a new
// handheld's reserve area starts afresh); a full asset area is an error.
bool WriteIdentity(FlashImage& flash, const HandheldIdentity& identity, std::string* error);

// Checks the fields as `init` takes them; false with a one-line reason.
bool ValidIdentity(const HandheldIdentity& identity, std::string* error);

}  // namespace corvash::emulator
