#pragma once
// The checksum of a ROM image file: the sum of header bytes 0..21 and of
// every payload byte (offset 32 to the end), modulo 65536. The header's
// checksum field stores it as 1 to 4 hexadecimal digits.
//
// VerifyImageChecksum() -> 1 when the sum of the file at imagePath equals the
//   value of imageChecksumText (as ReadImageHeader left it); 0 otherwise. The
//   wait box is shown while the file is summed, through one 256 KiB buffer.
//   When the file cannot be opened it shows FEHLER 104 (dialog 141), closes
//   the main window and returns 0: the caller shows FEHLER 102 only while the
//   main window is still open. A read error during the pass, and a checksum
//   field that is empty or holds anything but hexadecimal digits, give 0
//   without a screen. Any thread (the screens go through the page host).
//
// ComputeImageChecksum / ParseChecksumText / AddToSum are pure or touch only
// the named file; any thread.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvash::image {

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

// Sums the image file at `path` in blocks of kChecksumBlockSize.
ImageChecksum ComputeImageChecksum(const std::string& path);

uint32_t VerifyImageChecksum();

}  // namespace corvash::image
