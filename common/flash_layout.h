#pragma once
// Where things lie in the handheld's flash, at the boot loader's addresses.
// The desktop's identity search, the reserved-area writer on the handheld and
// the emulated handheld all read their addresses from here.
//
// The identity of a handheld is a text ("Quor 5210" + variant + language +
// version, 19 characters) in UTF-16LE, zero-terminated, kept in 52-byte slots:
// the whole text in the reserve area, its first 15 characters in the asset
// data area of the handheld's variant. A slot whose first 32-bit word reads
// 0xFFFFFFFF is free; a used slot is retired by clearing its first 8 bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvash::common {

// ---- The flash as a whole ---------------------------------------------------
inline constexpr uint32_t kFlashBase = 0xA0000000u;  // first boot-loader address
inline constexpr uint32_t kFlashEnd = 0xA3000000u;   // one past the last (48 MiB of addresses)
inline constexpr uint8_t kErasedByte = 0xFF;
// The boot loader itself fills the first 0x40000 bytes; no flash rewrites them.
inline constexpr uint32_t kLoaderLength = 0x40000u;

// ---- Identity slots ---------------------------------------------------------
inline constexpr std::string_view kModelName = "Quor 5210";
inline constexpr uint32_t kSlotLength = 0x34;
inline constexpr uint32_t kFreeSlotWord = 0xFFFFFFFFu;
inline constexpr size_t kRetireLength = 8;       // zero bytes that retire a slot
inline constexpr size_t kAssetTextChars = 15;    // characters kept in an asset area
inline constexpr size_t kAssetTextBytes = 32;    // bytes written there

// An area of slots: the first slot, and the last slot start allowed
// (the area's end less one slot).
struct SlotArea {
  uint32_t first;
  uint32_t lastStart;
  uint32_t End() const { return lastStart + kSlotLength; }
  uint32_t SlotCount() const { return (lastStart - first) / kSlotLength + 1; }
};
inline constexpr SlotArea kReserveArea{0xA0040100u, 0xA0040FCCu};    // 73 slots
inline constexpr SlotArea kWbtAssetArea{0xA2FC0000u, 0xA2FCFECCu};   // 1255 slots
inline constexpr SlotArea kNbtAssetArea{0xA1FC0000u, 0xA1FCFECCu};   // 1255 slots

// The asset data area of a variant code ("WBT"; anything else is NBT).
constexpr const SlotArea& AssetAreaOf(std::string_view variant) {
  return variant == "WBT" ? kWbtAssetArea : kNbtAssetArea;
}

// The desktop's identity search reads slot by slot from `first` while the
// address has not passed `last`: all of the reserve area, and the first
// eleven slots of each asset area, WBT before NBT.
struct SearchArea {
  uint32_t first;
  uint32_t last;
};
inline constexpr SearchArea kIdentitySearchAreas[] = {
    {kReserveArea.first, kReserveArea.lastStart},        // 73 reads, the last at 0xA0040FA0
    {kWbtAssetArea.first, kWbtAssetArea.first + 0x208},  // 11 reads
    {kNbtAssetArea.first, kNbtAssetArea.first + 0x208},  // 11 reads
};
inline constexpr int kIdentitySearchAreaCount = 3;

// The reserve area's block as an image's payload carries it: payload byte p
// lies at kFlashBase + p, so the block starts kLoaderLength into the payload.
inline constexpr size_t kReserveBlockOffset = kLoaderLength;
inline constexpr size_t kReserveBlockLength = 0x1000;

}  // namespace corvash::common
