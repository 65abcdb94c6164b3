#include "desktop/bootlink/download_records.h"

#include <limits>

namespace corvash::bootlink {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

uint32_t ParseLoaderHex(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const bool prefixed = i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                        HexDigit(text[i + 2]) >= 0;
  if (prefixed) i += 2;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  }
  return static_cast<uint32_t>(value);
}

uint64_t LoadImageSize(uint32_t length, uint64_t payloadSize) {
  return length == common::LENGTH_WHOLE_FILE ? payloadSize : uint64_t{length};
}

std::optional<DownloadPlan> PlanDownload(uint32_t address, uint32_t offset, uint64_t imageSize) {
  if (imageSize <= offset) return std::nullopt;
  const uint64_t total = imageSize - offset;
  DownloadPlan plan;
  plan.startAddress = address + offset;  // wraps as the loader's 32-bit arithmetic does
  plan.total = total > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                            : static_cast<uint32_t>(total);
  plan.payloadOffset = offset;
  return plan;
}

uint32_t DownloadPercent(uint32_t remaining, uint32_t total) {
  const double fraction = 1.0 - static_cast<double>(remaining) / static_cast<double>(total);
  return static_cast<uint32_t>(fraction * 100.0);
}

}  // namespace corvash::bootlink
