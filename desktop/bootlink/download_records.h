#pragma once
// The binary side of an image download: the records the PC sends to the boot
// loader, the conversion of the loader's hexadecimal key values, and the
// arithmetic that turns a load's address, offset and length into what goes
// on the wire. Pure functions; any thread may call them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/download_codec.h"
#include "common/loader_wire.h"

namespace corvash::bootlink {

// Sizes and texts of the records are the wire's (loader_wire.h).
inline constexpr uint32_t kPiecesPerBlock = common::BLOCK_LENGTH / common::TXQUEUE;

// The record codec is the wire's own (download_codec.h).
using common::FileHeader;
using common::GetLE32;
using common::MakeEndRecord;
using common::MakeFileHeader;
using common::MakeRecordHeader;
using common::PutLE32;
using common::RecordHeader;

// A key value as the loader sends it, read as hexadecimal: leading blanks
// and a 0x prefix are skipped, reading stops at the first character that is
// not a hexadecimal digit (a trailing CR or LF, say). No digits give 0; a
// value beyond 32 bits gives 0xFFFFFFFF.
uint32_t ParseLoaderHex(std::string_view text);

// What one load sends: `total` payload bytes starting `payloadOffset` bytes
// into the payload, loaded from `startAddress` on.
struct DownloadPlan {
  uint32_t startAddress = 0;
  uint32_t total = 0;
  uint32_t payloadOffset = 0;
  // Where the first byte to send lies in the image file.
  uint64_t FileOffset() const { return uint64_t{common::IMAGE_HEADER_LENGTH} + payloadOffset; }
  // Records the loader will ask for: the full blocks plus a short last one.
  uint32_t RecordCount() const { return total / common::BLOCK_LENGTH + (total % common::BLOCK_LENGTH != 0 ? 1 : 0); }
};

// The image size of a load: `length`, or the whole payload when `length` is
// common::LENGTH_WHOLE_FILE. `payloadSize` is the image file's size less its header.
uint64_t LoadImageSize(uint32_t length, uint64_t payloadSize);

// The plan for address A, offset O and image size; nullopt when the image
// size does not exceed O (nothing to send).
std::optional<DownloadPlan> PlanDownload(uint32_t address, uint32_t offset, uint64_t imageSize);

// Progress of the first load after a record: (1 - remaining / total) x 100,
// in floating point, truncated toward zero. `total` must not be 0.
uint32_t DownloadPercent(uint32_t remaining, uint32_t total);

}  // namespace corvash::bootlink
