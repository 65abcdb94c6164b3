#include "emulator/rom_image.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace corvash::emulator {

bool ReadRomHeader(const std::filesystem::path& path, RomHeader* header, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open image " + path.string();
    return false;
  }
  uint8_t bytes[kHeaderSize];
  if (!file.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    *error = "image " + path.string() + " is shorter than its 32-byte header";
    return false;
  }
  const common::ImageHeaderFields fields = common::ParseImageHeader(bytes);
  header->model = fields.model;
  header->variant = fields.variant;
  header->language = fields.langCode;
  header->version = fields.version;
  return true;
}

bool LoadRomPayload(const std::filesystem::path& path, FlashImage& flash, size_t maxPayload,
                    std::string* error) {
  std::error_code code;
  const uintmax_t size = std::filesystem::file_size(path, code);
  if (code || size < kHeaderSize) {
    *error = "image " + path.string() + " is missing or shorter than its 32-byte header";
    return false;
  }
  if (size - kHeaderSize > maxPayload) {
    *error = "image " + path.string() + " does not fit the flash";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  file.seekg(kHeaderSize);
  std::vector<char> block(1 << 20);
  uint32_t address = flash.Base();
  while (file) {
    file.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto count = static_cast<size_t>(file.gcount());
    if (count == 0) break;
    flash.Store(address, std::span(reinterpret_cast<const uint8_t*>(block.data()), count));
    address += static_cast<uint32_t>(count);
  }
  if (file.bad()) {
    *error = "cannot read image " + path.string();
    return false;
  }
  return true;
}

namespace {

constexpr size_t kPatternBlock = 1 << 16;

uint32_t Mix(uint32_t x) {
  x *= 2654435761u;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return x;
}

// One 64 KiB block of the pattern; each block of the payload is it, xored
// with a key of the block's own, so that no two blocks read alike.
const std::vector<uint8_t>& PatternBlock() {
  static const std::vector<uint8_t> block = [] {
    std::vector<uint8_t> bytes(kPatternBlock);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(Mix(static_cast<uint32_t>(i)));
    return bytes;
  }();
  return block;
}

uint8_t BlockKey(size_t block) { return static_cast<uint8_t>(Mix(static_cast<uint32_t>(block) ^ 0x5A5A5A5Au) >> 8); }

uint8_t NotErased(uint8_t byte) { return byte == kErasedByte ? 0x7F : byte; }

}  // namespace

uint8_t GeneratedByte(size_t offset) {
  return NotErased(PatternBlock()[offset % kPatternBlock] ^ BlockKey(offset / kPatternBlock));
}

void StoreGeneratedRom(FlashImage& flash, const HandheldIdentity& identity, size_t length) {
  const auto& pattern = PatternBlock();
  std::vector<uint8_t> block(kPatternBlock);
  for (size_t offset = 0; offset < length; offset += kPatternBlock) {
    const size_t count = std::min(kPatternBlock, length - offset);
    const uint8_t key = BlockKey(offset / kPatternBlock);
    for (size_t i = 0; i < count; ++i) block[i] = NotErased(pattern[i] ^ key);
    flash.Store(flash.Base() + static_cast<uint32_t>(offset), std::span(block.data(), count));
  }
  if (length < kReserveBlockOffset + kReserveBlockLength) return;
  flash.Erase(flash.Base() + kReserveBlockOffset, kReserveBlockLength);
  flash.Store(kReserveArea.first, ReserveRecord(identity));
}

}  // namespace corvash::emulator
