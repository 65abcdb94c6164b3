#include "device/common/query_reserved_area.h"

#include <algorithm>

#include "common/little_endian.h"

namespace corvash::device {

using common::GetLE16;
using common::GetLE32;
using common::PutLE16;
using common::PutLE32;

std::u16string_view QueryReservedArea::Text() const {
  const auto end = std::find(pdata.begin(), pdata.end(), u'\0');
  return std::u16string_view(pdata.data(), static_cast<size_t>(end - pdata.begin()));
}

uint32_t ReservedLengthFor(size_t units) { return static_cast<uint32_t>((units + 1 + 3) / 4 * 4); }

QueryReservedArea MakeQueryReservedArea(std::u16string_view identity) {
  QueryReservedArea record;
  record.command = kWriteAreaCommand;
  record.address = kWriteAreaAddress;
  const std::u16string_view text = identity.substr(0, std::min(identity.size(), kMaxIdentityUnits));
  std::copy(text.begin(), text.end(), record.pdata.begin());
  record.Length = ReservedLengthFor(text.size());
  return record;
}

std::array<uint8_t, kQueryReservedAreaSize> Pack(const QueryReservedArea& record) {
  std::array<uint8_t, kQueryReservedAreaSize> bytes{};
  PutLE32(record.command, &bytes[0]);
  PutLE32(record.address, &bytes[4]);
  PutLE32(record.Length, &bytes[8]);
  for (size_t i = 0; i < kPdataUnits; ++i) PutLE16(record.pdata[i], &bytes[12 + 2 * i]);
  return bytes;
}

std::optional<QueryReservedArea> UnpackQueryReservedArea(std::span<const uint8_t> bytes) {
  if (bytes.size() < kQueryReservedAreaSize) return std::nullopt;
  QueryReservedArea record;
  record.command = GetLE32(&bytes[0]);
  record.address = GetLE32(&bytes[4]);
  record.Length = GetLE32(&bytes[8]);
  for (size_t i = 0; i < kPdataUnits; ++i) record.pdata[i] = static_cast<char16_t>(GetLE16(&bytes[12 + 2 * i]));
  return record;
}

}  // namespace corvash::device
