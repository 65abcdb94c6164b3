// The identity search over "readdata" replies of the emulated loader.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <regex>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/identity_read.h"
#include "common/clock.h"
#include "emulator/identity_record.h"
#include "tests/flash/flash_fixture.h"

namespace corvash::test {
namespace {

using bootlink::IdentityCursor;
using bootlink::IdentityOutcome;
using bootlink::ReadDeviceIdentity;

constexpr uint32_t kArea0 = 0xA0040100;
constexpr uint32_t kLastSlot0 = 0xA0040100 + 72 * 0x34;

TEST(IdentityRecord, Recognised) {
  EXPECT_TRUE(bootlink::IsIdentityRecord("KVOS Quor 5210NBTENG2.04KVOE"));
  EXPECT_TRUE(bootlink::IsIdentityRecord("KVOS Quor 5210WBTCHS2.04KVOE"));
  EXPECT_FALSE(bootlink::IsIdentityRecord("KVOS Quor 5210NBTXXX2.04KVOE"));  // no language code
  EXPECT_FALSE(bootlink::IsIdentityRecord("KVOS Quor 5210XBTENG2.04KVOE"));
  EXPECT_FALSE(bootlink::IsIdentityRecord("KVOS Qour 5210NBTENG2.04KVOE"));
  EXPECT_TRUE(bootlink::IsErasedReply("KVOS \xFF\xFF" "KVOE"));
  EXPECT_FALSE(bootlink::IsErasedReply("KVOE"));
}

TEST(IdentityRecord, FieldsAreCutCleanly) {
  session::UpdateSession session;
  common::CopyText(session.handheld.deviceVersion, "12.345678");  // longer text of an earlier identification
  bootlink::TakeIdentityFields("KVOS Quor 5210NBTENG2.04KVOE", session.handheld);
  EXPECT_EQ(common::TextOf(session.handheld.deviceModel), "Quor 5210");
  EXPECT_EQ(common::TextOf(session.handheld.deviceVariant), "NBT");
  EXPECT_EQ(common::TextOf(session.handheld.deviceLangCode), "ENG");
  EXPECT_EQ(common::TextOf(session.handheld.deviceVersion), "2.04");
  bootlink::TakeIdentityFields("KVOS Quor 52", session.handheld);  // short reply: fields end early
  EXPECT_EQ(common::TextOf(session.handheld.deviceModel), "Quor 52");
  EXPECT_EQ(common::TextOf(session.handheld.deviceVariant), "");
}

TEST(IdentityRecord, SearchWalksNinetyFiveAddresses) {
  IdentityCursor cursor;
  int reads = 1;
  uint32_t lastOfArea0 = 0;
  while (true) {
    const int area = cursor.area;
    const uint32_t address = cursor.address;
    if (!cursor.Advance()) break;
    if (area == 0 && cursor.area == 1) lastOfArea0 = address;
    ++reads;
  }
  EXPECT_EQ(reads, 95);
  EXPECT_EQ(lastOfArea0, kLastSlot0);
}

class IdentityReadTest : public FlashTest {
 protected:
  void SetUp() override {
    FlashTest::SetUp();
    loader_ = std::make_unique<MemoryLoader>(0x100000);  // areas 1 and 2 lie beyond: erased
    common::CopyText(run_.handheld.deviceVariant, "WBT");
  }
  void Start() {
    Connect(loader_->port);
    bootlink::OpenCommandSession(link_);
  }
  void Put(uint32_t address, std::string_view text) {
    loader_->flash->Store(address, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  // Fills area 0's slots with data that is neither erased nor the record.
  void FillArea0() {
    for (uint32_t a = kArea0; a <= kLastSlot0; a += 0x34) Put(a, std::string(0x34, 'x'));
  }
  // The addresses of the "readdata" commands sent, in order.
  std::vector<uint32_t> Reads() const {
    const std::string written = loader_->port->Written();
    std::vector<uint32_t> addresses;
    static const std::regex pattern("KVOSreaddata ([0-9a-f]+) 28\rKVOE");
    for (auto it = std::sregex_iterator(written.begin(), written.end(), pattern); it != std::sregex_iterator(); ++it) {
      addresses.push_back(static_cast<uint32_t>(std::stoul((*it)[1].str(), nullptr, 16)));
    }
    return addresses;
  }
  void ExpectCleared() {
    EXPECT_EQ(common::TextOf(run_.handheld.deviceModel), "");
    EXPECT_EQ(common::TextOf(run_.handheld.deviceLangCode), "");
    EXPECT_EQ(common::TextOf(run_.handheld.deviceVersion), "");
    EXPECT_EQ(common::TextOf(run_.handheld.deviceVariant), "WBT");
    EXPECT_EQ(host_.Total(), 0u);  // the caller shows FEHLER 116
  }

  std::unique_ptr<MemoryLoader> loader_;
};

TEST_F(IdentityReadTest, RecordWrittenByTheHandheldIsFound) {
  emulator::HandheldIdentity identity;
  identity.variant = "NBT";
  identity.language = "GER";
  identity.version = "2.05";
  ASSERT_TRUE(emulator::RecordInArea(*loader_->flash, emulator::kReserveArea, emulator::ReserveRecord(identity)));
  Start();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kRead);
  EXPECT_EQ(common::TextOf(run_.handheld.deviceModel), "Quor 5210");
  EXPECT_EQ(common::TextOf(run_.handheld.deviceVariant), "NBT");
  EXPECT_EQ(common::TextOf(run_.handheld.deviceLangCode), "GER");
  EXPECT_EQ(common::TextOf(run_.handheld.deviceVersion), "2.05");
  EXPECT_EQ(Reads(), std::vector<uint32_t>{kArea0});
  EXPECT_EQ(host_.Total(), 0u);
}

TEST_F(IdentityReadTest, ErasedFirstReplyMovesOnToTheNextArea) {
  Start();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kFailed);
  EXPECT_EQ(Reads(), (std::vector<uint32_t>{kArea0, 0xA2FC0000, 0xA1FC0000}));
  ExpectCleared();
}

TEST_F(IdentityReadTest, RecordInTheLastSlotOfAreaZero) {
  FillArea0();
  Put(kLastSlot0, "Quor 5210NBTENG2.04");
  Start();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kRead);
  const auto reads = Reads();
  EXPECT_EQ(reads.size(), 73u);
  EXPECT_EQ(reads.back(), kLastSlot0);
  EXPECT_EQ(common::TextOf(run_.handheld.deviceLangCode), "ENG");
}

// Each reply is taken as soon as the receive thread has it, even one that
// came before the search began to wait (the loader in memory answers inside
// the send): 73 round trips take far less than a quarter of the time that
// one look per 10 ms period would.
TEST_F(IdentityReadTest, RepliesAreTakenAsTheyArriveNotAtTheNextLook) {
  FillArea0();
  Put(kLastSlot0, "Quor 5210NBTENG2.04");
  Start();
  IdentityOutcome found = IdentityOutcome::kFailed;
  std::chrono::steady_clock::duration took{};
  std::chrono::steady_clock::duration periods{};
  {
    common::SetTimeScale(20);  // a 10 ms look is 200 ms here
    periods = common::ScaledDuration(73 * 10);
    const auto start = std::chrono::steady_clock::now();
    found = ReadDeviceIdentity(link_, run_.handheld);
    took = std::chrono::steady_clock::now() - start;
    common::SetTimeScale(0);
  }
  loader_->port->Close();  // wakes the reader from its stretched wait
  EXPECT_EQ(found, IdentityOutcome::kRead);
  EXPECT_EQ(Reads().size(), 73u);
  EXPECT_LT(took, periods / 4);
}

TEST_F(IdentityReadTest, ModelAndVariantWithoutLanguageAreSkipped) {
  FillArea0();
  Put(kArea0, "Quor 5210NBTXXX2.04");
  Put(kArea0 + 0x34, "Quor 5210NBTFRE2.01");
  Start();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kRead);
  EXPECT_EQ(Reads(), (std::vector<uint32_t>{kArea0, kArea0 + 0x34}));
  EXPECT_EQ(common::TextOf(run_.handheld.deviceLangCode), "FRE");
  EXPECT_EQ(common::TextOf(run_.handheld.deviceVersion), "2.01");
}

TEST_F(IdentityReadTest, FailedSearchClearsTheFieldsAndFails) {
  FillArea0();
  common::CopyText(run_.handheld.deviceModel, "Quor 5210");
  common::CopyText(run_.handheld.deviceLangCode, "ENG");
  common::CopyText(run_.handheld.deviceVersion, "2.04");
  Start();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kFailed);
  EXPECT_EQ(Reads().size(), 75u);  // all of area 0, then one erased read in areas 1 and 2
  ExpectCleared();
}

TEST_F(IdentityReadTest, SilentLoaderWithoutAPageGivesUpAfterTenSeconds) {
  loader_->peer.Arm({emulator::FaultKind::Silent, 0, {}});
  Start();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kFailed);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, common::ScaledDuration(10000));
  EXPECT_LT(took, common::ScaledDuration(10000) * 4 + std::chrono::milliseconds(500));
  ExpectCleared();
}

TEST_F(IdentityReadTest, SilentLoaderWithAPageEndsThroughThePage) {
  loader_->peer.Arm({emulator::FaultKind::Silent, 0, {}});
  Start();
  page_ = std::make_unique<HeadlessProgressPage>(link_, run_, host_);
  link_.Watch(page_.get());
  EXPECT_EQ(ReadDeviceIdentity(link_, run_.handheld), IdentityOutcome::kLinkLost);
  // The expiry sets linkClosed, which ends the read, before it ends the page.
  ASSERT_TRUE(page_->WaitEnded(5000));
  EXPECT_EQ(page_->Snapshot().result, 2);  // the watchdog: FEHLER 113 follows from the driver
  EXPECT_EQ(page_->Snapshot().timer2Period, 10000u);
  EXPECT_EQ(host_.Total(), 0u);
  EXPECT_EQ(link_.linkClosed.load(), 1u);
}

}  // namespace
}  // namespace corvash::test
