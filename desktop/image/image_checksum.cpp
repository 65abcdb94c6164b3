#include "desktop/image/image_checksum.h"

#include <cstring>
#include <vector>

#include "desktop/app/update_session.h"
#include "desktop/image/image_failures.h"
#include "desktop/image/image_file.h"
#include "desktop/image/image_header.h"
#include "desktop/pages/page_host.h"
#include "desktop/platform/byte_sum.h"
#include "desktop/platform/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

uint32_t AddToSum(uint32_t sum, std::span<const uint8_t> bytes) { return platform::SumBytes(sum, bytes); }

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

namespace {

// Sums an open image file from its current position (its start).
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

}  // namespace

ImageChecksum ComputeImageChecksum(const std::string& path) {
  ImageFile file;
  if (!file.Open(path)) {
    ImageChecksum result;
    result.error = file.error();
    return result;
  }
  return SumImageFile(file);
}

uint32_t VerifyImageChecksum() {
  app::UpdateSession& session = app::Session();
  const std::string path(platform::TextOf(session.imagePath));
  ImageFile file;
  if (!file.Open(path)) {
    platform::TraceF("\r\n VerifyImageChecksum: cannot open %s (errno %d)\r\n", path.c_str(), file.error());
    ReportImageOpenFailure();
    return 0;
  }
  pages::ShowWaitBox();
  const ImageChecksum checksum = SumImageFile(file);
  file.Close();
  pages::CloseWaitBox();
  if (!checksum.readable) {
    platform::TraceF("\r\n VerifyImageChecksum: read error on %s (errno %d)\r\n", path.c_str(), checksum.error);
    return 0;
  }
  const std::optional<uint16_t> stored = ParseChecksumText(platform::TextOf(session.imageChecksumText));
  return stored.has_value() && *stored == checksum.sum ? 1 : 0;
}

}  // namespace corvash::image
