#pragma once
// The binary records of an image download, packed by the desktop's sender
// and unpacked by the emulated boot loader's receiver. Fields are 32-bit
// little-endian. Pure functions; any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "common/little_endian.h"
#include "common/loader_wire.h"

namespace corvash::common {

using FileHeader = std::array<uint8_t, FILE_HEADER_LENGTH>;
using RecordHeader = std::array<uint8_t, RECORD_HEADER_LENGTH>;

// Start address and byte count of the whole download.
FileHeader MakeFileHeader(uint32_t startAddress, uint32_t total);
// Load address, the block length (always BLOCK_LENGTH, also for a short
// last block) and a zero word.
RecordHeader MakeRecordHeader(uint32_t loadAddress);
// Twelve zero bytes.
RecordHeader MakeEndRecord();

struct FileHeaderFields {
  uint32_t startAddress = 0;
  uint32_t total = 0;
};
struct RecordHeaderFields {
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t reserved = 0;
  // The end record: three zero words.
  bool IsEnd() const { return address == 0 && length == 0 && reserved == 0; }
};

// Unpack a record of exactly its length; nullopt for any other length.
std::optional<FileHeaderFields> ParseFileHeader(std::span<const uint8_t> bytes);
std::optional<RecordHeaderFields> ParseRecordHeader(std::span<const uint8_t> bytes);

}  // namespace corvash::common
