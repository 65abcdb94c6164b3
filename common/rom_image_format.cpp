#include "common/rom_image_format.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/byte_sum.h"
#include "common/image_file.h"

namespace corvash::common {

namespace {

std::string FieldText(std::span<const uint8_t> header, size_t offset, size_t length) {
  std::string text;
  for (size_t i = offset; i < offset + length && i < header.size(); ++i) {
    if (header[i] == 0) break;
    text.push_back(static_cast<char>(header[i]));
  }
  return text;
}

std::string ChecksumText(std::span<const uint8_t> header) {
  std::string text;
  for (size_t i = kChecksumOffset; i < kChecksumOffset + kChecksumMaxLength && i < header.size(); ++i) {
    if (header[i] == 0 || header[i] == static_cast<uint8_t>(kSeparator)) break;
    text.push_back(static_cast<char>(header[i]));
  }
  return text;
}

}  // namespace

ImageHeaderFields ParseImageHeader(std::span<const uint8_t> header) {
  ImageHeaderFields fields;
  fields.model = FieldText(header, kModelOffset, kModelLength);
  fields.variant = FieldText(header, kVariantOffset, kVariantLength);
  fields.langCode = FieldText(header, kLangCodeOffset, kLangCodeLength);
  fields.version = FieldText(header, kVersionOffset, kVersionLength);
  fields.checksumText = ChecksumText(header);
  return fields;
}

std::optional<std::array<char, kHeaderSize>> FormatImageHeader(std::string_view model,
                                                               std::string_view variant,
                                                               std::string_view langCode,
                                                               std::string_view version,
                                                               uint16_t checksum) {
  if (model.size() != kModelLength || variant.size() != kVariantLength ||
      langCode.size() != kLangCodeLength || version.size() != kVersionLength) {
    return std::nullopt;
  }
  std::string text;
  text.reserve(kHeaderSize);
  text.append(model).push_back(kSeparator);
  text.append(variant).push_back(kSeparator);
  text.append(langCode).push_back(kSeparator);
  text.append(version).push_back(kSeparator);
  char digits[8];
  const int n = std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(checksum));
  text.append(digits, static_cast<size_t>(n));
  text.append(kChecksumFieldLength - static_cast<size_t>(n), kSeparator);
  std::array<char, kHeaderSize> header{};
  std::memcpy(header.data(), text.data(), kHeaderSize);
  return header;
}

uint32_t AddToSum(uint32_t sum, std::span<const uint8_t> bytes) { return SumBytes(sum, bytes); }

uint32_t AddImageBlockToSum(uint32_t sum, uint64_t offset, std::span<const uint8_t> block) {
  const uint64_t end = offset + block.size();
  // Header bytes 0..21.
  if (offset < kSummedHeaderBytes) {
    const uint64_t stop = end < kSummedHeaderBytes ? end : kSummedHeaderBytes;
    sum = AddToSum(sum, block.subspan(0, static_cast<size_t>(stop - offset)));
  }
  // Payload from offset 32 on.
  if (end > kHeaderSize) {
    const uint64_t from = offset > kHeaderSize ? offset : kHeaderSize;
    sum = AddToSum(sum, block.subspan(static_cast<size_t>(from - offset)));
  }
  return sum;
}

std::optional<uint16_t> ParseChecksumText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    else return std::nullopt;
    value = ((value << 4) | digit) & 0xFFFF;
  }
  return static_cast<uint16_t>(value);
}

ImageChecksum SumImageFile(ImageFile& file) {
  ImageChecksum result;
  result.opened = true;
  std::vector<uint8_t> buffer(kChecksumBlockSize);
  uint32_t sum = 0;
  uint64_t offset = 0;
  for (;;) {
    const long n = file.Read(buffer.data(), buffer.size());
    if (n < 0) {
      result.error = file.error();
      return result;
    }
    if (n == 0) break;
    sum = AddImageBlockToSum(sum, offset, std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
    offset += static_cast<uint64_t>(n);
  }
  result.readable = true;
  result.sum = static_cast<uint16_t>(sum & 0xFFFF);
  result.fileSize = offset;
  return result;
}

ImageChecksum ComputeImageChecksum(const std::string& path) {
  ImageFile file;
  if (!file.Open(path)) {
    ImageChecksum result;
    result.error = file.error();
    return result;
  }
  return SumImageFile(file);
}

}  // namespace corvash::common
