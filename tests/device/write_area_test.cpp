// Zembra.dll's WriteArea over a state folder's flash, checked in the flash
// bytes it leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/common/query_reserved_area.h"
#include "tests/device/handheld_fixture.h"

namespace corvash::device::test {
namespace {

using common::kNbtAssetArea;
using common::kReserveArea;
using common::kSlotLength;
using common::kWbtAssetArea;

constexpr std::string_view kIdentity = "Quor 5210NBTENG2.04";

std::vector<uint8_t> Bytes(const QueryReservedArea& record) {
  const auto bytes = Pack(record);
  return {bytes.begin(), bytes.end()};
}

std::vector<uint8_t> Input(std::string_view identity) {
  return Bytes(MakeQueryReservedArea(std::u16string(identity.begin(), identity.end())));
}

uint32_t Slot(const common::SlotArea& area, uint32_t index) { return area.first + index * kSlotLength; }

class WriteAreaTest : public HandheldFixture {
 protected:
  CallResult Write(std::string_view identity) { return Call(library_.function(), Input(identity)); }

  // The slot's bytes as a stored text: the UTF-16 text, its terminator and
  // the padding that Length adds, then the erased rest of the slot.
  std::vector<uint8_t> StoredSlot(std::string_view text, size_t storedBytes) const {
    std::vector<uint8_t> slot = Utf16(text);
    slot.resize(storedBytes, 0);
    slot.resize(kSlotLength, 0xFF);
    return slot;
  }
  bool Erased(uint32_t address, size_t length) const {
    const auto bytes = Flash(address, length);
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; });
  }
  bool Retired(uint32_t address) const {
    const auto head = Flash(address, 8);
    return std::all_of(head.begin(), head.end(), [](uint8_t b) { return b == 0; });
  }

  DeviceLibrary library_{ZEMBRA_PATH, "WriteArea"};
};

TEST_F(WriteAreaTest, FirstCallFillsTheFirstSlotsAndAnswersInitial) {
  ASSERT_NE(library_.function(), nullptr);
  const CallResult result = Write(kIdentity);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output, (std::vector<uint8_t>{'i', 0, 'n', 0}));
  EXPECT_EQ(Flash(Slot(kReserveArea, 0), kSlotLength), StoredSlot(kIdentity, 40));
  EXPECT_EQ(Flash(Slot(kNbtAssetArea, 0), kSlotLength), StoredSlot(kIdentity.substr(0, 15), 32));
  EXPECT_TRUE(Erased(Slot(kReserveArea, 1), kSlotLength));
  EXPECT_TRUE(Erased(kWbtAssetArea.first, kSlotLength));
  const std::string log = DebugLog();
  EXPECT_NE(log.find("\r\n Line:185 Ready write to Reserve area data are: Quor 5210NBTENG2.04\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\n Line:441 pQueryReservedArea->pdata data are: Quor 5210NBTENG\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\n Line:145 Read from Reserve data = 42949672950x\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\n Line 240 :pQueryReservedArea address= 2684616960\r\n"), std::string::npos);
  EXPECT_LT(log.find("\r\n Line 260, Ready to Write asset data area\r\n"), log.find("\r\n Line:425 Ready write"));
  EXPECT_TRUE(log.ends_with("\r\nLine:458 -WriteArea success\r\n"));
}

TEST_F(WriteAreaTest, SameTextAgainRetiresTheReserveSlotAndKeepsTheAsset) {
  ASSERT_EQ(Write(kIdentity).status, 1);
  const CallResult again = Write(kIdentity);
  EXPECT_EQ(again.status, 1);
  EXPECT_FALSE(again.outputSet);
  EXPECT_TRUE(Retired(Slot(kReserveArea, 0)));
  EXPECT_EQ(Flash(Slot(kReserveArea, 1), kSlotLength), StoredSlot(kIdentity, 40));
  EXPECT_EQ(Flash(Slot(kNbtAssetArea, 0), kSlotLength), StoredSlot(kIdentity.substr(0, 15), 32));
  EXPECT_TRUE(Erased(Slot(kNbtAssetArea, 1), kSlotLength));
  EXPECT_NE(DebugLog().find("\r\nLine 389 : dwTEST==AssetData"), std::string::npos);

  // A new language: the old asset slot is retired and the next one used.
  const CallResult german = Write("Quor 5210NBTGER2.04");
  EXPECT_EQ(german.status, 1);
  EXPECT_TRUE(german.outputSet);
  EXPECT_TRUE(Retired(Slot(kReserveArea, 1)));
  EXPECT_EQ(Flash(Slot(kReserveArea, 2), kSlotLength), StoredSlot("Quor 5210NBTGER2.04", 40));
  EXPECT_TRUE(Retired(Slot(kNbtAssetArea, 0)));
  EXPECT_EQ(Flash(Slot(kNbtAssetArea, 1), kSlotLength), StoredSlot("Quor 5210NBTGER", 32));
}

TEST_F(WriteAreaTest, UsedSlotsAreSkippedAndAFullReserveAreaFailsBeforeTheAssetArea) {
  for (uint32_t i = 0; i < 5; ++i) Store(Slot(kReserveArea, i), Utf16("old"));
  ASSERT_EQ(Write(kIdentity).status, 1);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(Retired(Slot(kReserveArea, i))) << i;
  EXPECT_EQ(Flash(Slot(kReserveArea, 5), kSlotLength), StoredSlot(kIdentity, 40));

  for (uint32_t i = 6; i < kReserveArea.SlotCount(); ++i) Store(Slot(kReserveArea, i), Utf16("old"));
  const auto assetBefore = Flash(kNbtAssetArea.first, 2 * kSlotLength);
  const CallResult full = Write("Quor 5210NBTGER2.04");
  EXPECT_EQ(full.status, 0);
  EXPECT_FALSE(full.outputSet);
  EXPECT_TRUE(Retired(Slot(kReserveArea, kReserveArea.SlotCount() - 1)));
  EXPECT_EQ(Flash(kNbtAssetArea.first, 2 * kSlotLength), assetBefore);
  EXPECT_NE(DebugLog().find("\r\n Line 167: dwAddress>(0xA0041000 -0x34)"), std::string::npos);
}

TEST_F(WriteAreaTest, TheVariantInTheTextChoosesTheAssetArea) {
  ASSERT_EQ(Write("Quor 5210XYZENG2.04").status, 1);
  EXPECT_EQ(Flash(Slot(kReserveArea, 0), kSlotLength), StoredSlot("Quor 5210XYZENG2.04", 40));
  EXPECT_TRUE(Erased(kNbtAssetArea.first, kSlotLength));
  EXPECT_TRUE(Erased(kWbtAssetArea.first, kSlotLength));

  ASSERT_EQ(Write("NBT 5210WBTENG").status, 1);  // both codes: WBT wins
  EXPECT_EQ(Flash(Slot(kWbtAssetArea, 0), kSlotLength), StoredSlot("NBT 5210WBTENG", 32));
  EXPECT_TRUE(Erased(kNbtAssetArea.first, kSlotLength));
}

TEST_F(WriteAreaTest, ASlotThatCannotTakeTheTextKeepsItsBytesAndTheNextSlotIsUsed) {
  // Free by its first word, but bits cleared further on that programming
  // cannot set again.
  std::vector<uint8_t> damaged(kSlotLength, 0xFF);
  damaged[10] = 0x00;
  Store(Slot(kReserveArea, 0), damaged);
  ASSERT_EQ(Write(kIdentity).status, 1);
  std::vector<uint8_t> programmed = StoredSlot(kIdentity, 40);
  programmed[10] = 0x00;
  EXPECT_EQ(Flash(Slot(kReserveArea, 0), kSlotLength), programmed);
  EXPECT_EQ(Flash(Slot(kReserveArea, 1), kSlotLength), StoredSlot(kIdentity, 40));
  EXPECT_NE(DebugLog().find("\r\nLine 210: writed data are wrong"), std::string::npos);
}

TEST_F(WriteAreaTest, InputsThatWouldOverrunOrUseUpTheAreaAreRefusedUntouched) {
  QueryReservedArea unterminated = MakeQueryReservedArea(u"Quor 5210NBTENG2.04");
  unterminated.Length = 19;  // the terminator left out: no slot would ever read back equal
  QueryReservedArea tooLong = MakeQueryReservedArea(u"Quor 5210NBTENG2.04");
  tooLong.Length = 27;  // more than a slot
  auto shortInput = Input(kIdentity);
  shortInput.pop_back();
  for (const auto& input : {Bytes(unterminated), Bytes(tooLong), shortInput, std::vector<uint8_t>()}) {
    EXPECT_EQ(Call(library_.function(), input).status, 0);
  }
  EXPECT_TRUE(Erased(kReserveArea.first, kReserveArea.End() - kReserveArea.first));
  EXPECT_TRUE(Erased(kNbtAssetArea.first, kSlotLength));
}

}  // namespace
}  // namespace corvash::device::test
