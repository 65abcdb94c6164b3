#include "device/zembra/reserved_area_writer.h"

#include <algorithm>
#include <array>
#include <string>

#include "common/flash_layout.h"
#include "common/utf16_text.h"
#include "device/zembra/slot_writer.h"

namespace corvash::zembra {
namespace {

constexpr uint32_t kMaxLength = common::kSlotLength / 2;

bool Acceptable(const device::QueryReservedArea& query) {
  if (query.Length == 0 || query.Length > kMaxLength) return false;
  return query.Text().size() < query.Length;
}

std::array<uint8_t, device::kPdataBytes> PdataBytes(const device::QueryReservedArea& query) {
  std::array<uint8_t, device::kPdataBytes> bytes{};
  for (size_t i = 0; i < query.pdata.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(query.pdata[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(query.pdata[i] >> 8);
  }
  return bytes;
}

void TraceBetweenPhases(const SlotIo& io, const device::QueryReservedArea& query) {
  const ce::QELWriteData& last = io.LastRequest();
  const std::u16string lastData = common::ReadUtf16Field(io.LastData(), io.LastData().size() / 2);
  Trace(u"\r\n QELWriteData command= %d\r\n", static_cast<int32_t>(last.command));
  Trace(u"\r\n QELWriteData Length= %d\r\n", static_cast<int32_t>(last.Length));
  Trace(u"\r\n QELWriteData address= %lu\r\n", last.address);
  Trace(u"\r\n QELWriteData modelID and languageID= %ls\r\n", std::u16string_view(lastData));
  Trace(u"\r\n pQueryReservedArea command= %d\r\n", static_cast<int32_t>(query.command));
  Trace(u"\r\n Line:237 pQueryReservedArea Length= %d\r\n", static_cast<int32_t>(query.Length));
  Trace(u"\r\n Line 240 :pQueryReservedArea address= %lu\r\n", query.address);
  Trace(u"\r\n Line 243: pQueryReservedArea modelID and languageID= %ls\r\n", query.Text());
  Trace(u"\r\n Line 260, Ready to Write asset data area\r\n");
}

}  // namespace

WriteOutcome WriteReservedAreas(const device::QueryReservedArea& query) {
  if (!Acceptable(query)) {
    Trace(u"\r\n WriteArea: Length= %d does not hold the text and its terminator\r\n",
          static_cast<int32_t>(query.Length));
    return WriteOutcome::Failed;
  }
  SlotIo io;
  const auto pdata = PdataBytes(query);
  const std::array<uint8_t, 128> scratch{};
  const AreaText reserveText{std::span<const uint8_t>(pdata).first(2 * query.Length), query.Text(), scratch};
  if (RecordText(io, common::kReserveArea, kReserveTraces, reserveText) != AreaResult::Written) {
    return WriteOutcome::Failed;
  }
  TraceBetweenPhases(io, query);

  // The asset text: the first 15 characters, zero after them.
  std::array<uint8_t, 64> asset{};
  std::copy_n(pdata.begin(), 2 * common::kAssetTextChars, asset.begin());
  const std::u16string_view assetText = query.Text().substr(0, common::kAssetTextChars);
  const std::u16string_view text = query.Text();
  const bool wbt = text.find(u"WBT") != std::u16string_view::npos;
  const bool nbt = text.find(u"NBT") != std::u16string_view::npos;
  if (wbt || nbt) {
    const AreaText assetRecord{std::span<const uint8_t>(asset).first(common::kAssetTextBytes), assetText, asset};
    const AreaResult result = RecordText(io, wbt ? common::kWbtAssetArea : common::kNbtAssetArea,
                                         wbt ? kWbtAssetTraces : kNbtAssetTraces, assetRecord);
    if (result == AreaResult::Full) return WriteOutcome::Failed;
    if (result == AreaResult::AlreadyPresent) return WriteOutcome::AssetPresent;
  }
  return WriteOutcome::Done;
}

}  // namespace corvash::zembra
