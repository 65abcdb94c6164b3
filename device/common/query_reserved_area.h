#pragma once
// QueryReservedArea: the input record of WriteArea (76 bytes, little-endian).
//
//   0  u32  command   2 from the desktop; only traced by the writer
//   4  u32  address   0xA0040100 from the desktop; only traced
//   8  u32  Length    UTF-16 code units to store (the writer stores 2 x Length bytes)
//  12  64   pdata     the identifier text, UTF-16LE, zero-terminated, zero-padded
//
// Pure; any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace corvash::device {

inline constexpr size_t kQueryReservedAreaSize = 76;
inline constexpr size_t kPdataBytes = 64;
inline constexpr size_t kPdataUnits = kPdataBytes / 2;
inline constexpr uint32_t kWriteAreaCommand = 2;
inline constexpr uint32_t kWriteAreaAddress = 0xA0040100u;
// The longest identifier text whose stored bytes (2 x Length, terminator
// and padding included) still fit a 52-byte slot.
inline constexpr size_t kMaxIdentityUnits = 23;

struct QueryReservedArea {
  uint32_t command = 0;
  uint32_t address = 0;
  uint32_t Length = 0;
  std::array<char16_t, kPdataUnits> pdata{};

  // The text in pdata up to its first zero unit (never past the field).
  std::u16string_view Text() const;
};

// The record the desktop sends for `identity`: command 2, address
// 0xA0040100, the text cut to kMaxIdentityUnits units, Length = its units
// plus the terminator, rounded up to a multiple of 4.
QueryReservedArea MakeQueryReservedArea(std::u16string_view identity);
// Length for a text of `units` code units (19 gives 20, 16 gives 20, 0 gives 4).
uint32_t ReservedLengthFor(size_t units);

std::array<uint8_t, kQueryReservedAreaSize> Pack(const QueryReservedArea& record);
// nullopt when `bytes` is shorter than the record; bytes beyond it are ignored.
std::optional<QueryReservedArea> UnpackQueryReservedArea(std::span<const uint8_t> bytes);

}  // namespace corvash::device
