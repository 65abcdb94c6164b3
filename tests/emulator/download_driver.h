#pragma once
// The desktop's side of a download, written out byte by byte for the loader
// tests: the sync header, the file header, records of a full block each
// (the last one padded with leftovers, as the desktop's engine sends it) and
// the end record.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::emulator::test {

inline constexpr uint32_t kBlock = 0x20000;

inline std::string LE32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
  return bytes;
}

inline std::string FileHeader(uint32_t start, uint32_t total) { return LE32(start) + LE32(total); }
inline std::string RecordHeader(uint32_t address) { return LE32(address) + LE32(kBlock) + LE32(0); }
inline std::string EndRecord() { return std::string(12, '\0'); }

// A payload whose bytes tell their offset apart.
inline std::vector<uint8_t> Payload(size_t length, uint8_t seed = 0) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<uint8_t>((i * 131 + (i >> 8) * 7 + (i >> 17) * 13 + seed) % 251);
  }
  return bytes;
}

// The records of a load of payload bytes [offset, size) to address + offset:
// each a header and a full block; the short last block is padded with 0xEE.
inline std::vector<std::string> Records(const std::vector<uint8_t>& payload, uint32_t address, uint32_t offset,
                                        uint32_t size) {
  std::vector<std::string> records;
  for (uint32_t at = offset; at < size; at += kBlock) {
    std::string record = RecordHeader(address + at);
    const uint32_t count = std::min(kBlock, size - at);
    record.append(reinterpret_cast<const char*>(payload.data() + at), count);
    record.append(kBlock - count, '\xEE');
    records.push_back(std::move(record));
  }
  return records;
}

}  // namespace corvash::emulator::test
