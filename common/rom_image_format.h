#pragma once
// The ROM image file (".nbf") as every side reads and writes it: the desktop,
// the backup writer, the emulated handheld and nbf.
//
//   offset  0  model (9)      "Quor 5210"
//           9  "-"
//          10  variant (3)    "NBT", "WBT"
//          13  "-"
//          14  language (3)   "ENG", ...
//          17  "-"
//          18  version (4)    "2.04"
//          22  "-"
//          23  checksum (1-4 hexadecimal digits), then "-" up to offset 31
//          32  payload, sent to the handheld unchanged
//
// The checksum is the sum of header bytes 0..21 and of every payload byte,
// modulo 65536. Everything here is pure or touches only the named file; any
// thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvash::common {

inline constexpr size_t kHeaderSize = 32;
// Header bytes 0..21 enter the checksum; 22..31 (separator, checksum text,
// padding) do not.
inline constexpr size_t kSummedHeaderBytes = 22;

inline constexpr size_t kModelOffset = 0, kModelLength = 9;
inline constexpr size_t kVariantOffset = 10, kVariantLength = 3;
inline constexpr size_t kLangCodeOffset = 14, kLangCodeLength = 3;
inline constexpr size_t kVersionOffset = 18, kVersionLength = 4;
inline constexpr size_t kChecksumOffset = 23, kChecksumMaxLength = 4;
// The checksum text and its "-" padding together.
inline constexpr size_t kChecksumFieldLength = 9;

inline constexpr char kSeparator = '-';

struct ImageHeaderFields {
  std::string model;
  std::string variant;
  std::string langCode;
  std::string version;
  std::string checksumText;  // the characters before the first "-", at most 4
};

// Splits a header. Bytes past the end of `header` read as zero; a field ends
// at its slot's end or at a zero byte.
ImageHeaderFields ParseImageHeader(std::span<const uint8_t> header);

// The header the backup writer lays down: model, "-", variant, "-",
// language, "-", version, "-", the checksum in lower-case hexadecimal without
// leading zeros ("0" for zero), "-" up to offset 31. Nullopt when a field
// does not fill its slot exactly (a longer one would run into the payload, a
// shorter one would shift every later field).
std::optional<std::array<char, kHeaderSize>> FormatImageHeader(std::string_view model,
                                                               std::string_view variant,
                                                               std::string_view langCode,
                                                               std::string_view version,
                                                               uint16_t checksum);

// The payload size of a file of `fileSize` bytes; 0 when it is no longer than
// its header.
inline uint64_t PayloadSize(uint64_t fileSize) {
  return fileSize > kHeaderSize ? fileSize - kHeaderSize : 0;
}

// Size of the one buffer of a checksum pass.
inline constexpr size_t kChecksumBlockSize = 0x40000;

// Adds every byte of `bytes` to `sum`, modulo 65536: only the low 16 bits
// of the result are meaningful.
uint32_t AddToSum(uint32_t sum, std::span<const uint8_t> bytes);

// Adds the bytes of a block that starts at file offset `offset` and counts
// for the checksum: those in 0..21 and those from 32 on.
uint32_t AddImageBlockToSum(uint32_t sum, uint64_t offset, std::span<const uint8_t> block);

// The value of a checksum field: hexadecimal digits of either case, the low
// 16 bits kept. Nullopt when the text is empty or holds another character.
std::optional<uint16_t> ParseChecksumText(std::string_view text);

struct ImageChecksum {
  bool readable = false;  // false: the file could not be opened or read
  int error = 0;          // errno of that failure
  bool opened = false;    // the open itself succeeded
  uint16_t sum = 0;
  uint64_t fileSize = 0;  // bytes read
};

class ImageFile;
// Sums an open image file from its current position (its start).
ImageChecksum SumImageFile(ImageFile& file);
// Sums the image file at `path` in blocks of kChecksumBlockSize.
ImageChecksum ComputeImageChecksum(const std::string& path);

}  // namespace corvash::common
