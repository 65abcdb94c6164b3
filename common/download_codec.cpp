#include "common/download_codec.h"

namespace corvash::common {

FileHeader MakeFileHeader(uint32_t startAddress, uint32_t total) {
  FileHeader header{};
  PutLE32(startAddress, header.data());
  PutLE32(total, header.data() + 4);
  return header;
}

RecordHeader MakeRecordHeader(uint32_t loadAddress) {
  RecordHeader header{};
  PutLE32(loadAddress, header.data());
  PutLE32(BLOCK_LENGTH, header.data() + 4);
  PutLE32(0, header.data() + 8);
  return header;
}

RecordHeader MakeEndRecord() { return RecordHeader{}; }

std::optional<FileHeaderFields> ParseFileHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() != FILE_HEADER_LENGTH) return std::nullopt;
  return FileHeaderFields{GetLE32(bytes.data()), GetLE32(bytes.data() + 4)};
}

std::optional<RecordHeaderFields> ParseRecordHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() != RECORD_HEADER_LENGTH) return std::nullopt;
  return RecordHeaderFields{GetLE32(bytes.data()), GetLE32(bytes.data() + 4), GetLE32(bytes.data() + 8)};
}

}  // namespace corvash::common
