// Dovrin.dll's SetSysTime over a state folder's clock.
#include <gtest/gtest.h>

#include <fstream>

#include "device/common/clock_record.h"
#include "tests/device/handheld_fixture.h"

namespace corvash::device::test {
namespace {

// 2024-02-29 12:34:56 UTC.
constexpr int64_t kLeapDaySeconds = 1709210096;

std::vector<uint8_t> Record(CalendarTime utc, int32_t bias) {
  ClockRecord record;
  record.timeZone.Bias = bias;
  record.timeZone.StandardName[0] = u'X';
  record.utcTime = utc;
  const auto bytes = Pack(record);
  return {bytes.begin(), bytes.end()};
}

constexpr CalendarTime kLeapDay{2024, 2, 4, 29, 12, 34, 56, 789};

class SetSysTimeTest : public HandheldFixture {
 protected:
  int64_t ClockNow() const { return common::Folder(Dir()).ClockNow(); }
  DeviceLibrary library_{DOVRIN_PATH, "SetSysTime"};
};

TEST_F(SetSysTimeTest, SetsTheClockToTheUtcTimeWhateverTheTimeZone) {
  ASSERT_NE(library_.function(), nullptr);
  for (int32_t bias : {0, -60, 480}) {
    auto input = Record(kLeapDay, bias);
    input.resize(input.size() + 12, 0xAB);  // bytes past the record are not read
    const CallResult result = Call(library_.function(), input);
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(result.outputSet);
    EXPECT_NEAR(ClockNow(), kLeapDaySeconds, 2) << bias;
  }
}

TEST_F(SetSysTimeTest, ARefusedOrImpossibleTimeLeavesTheClock) {
  ASSERT_NE(Call(library_.function(), Record(kLeapDay, 0)).status, 0);
  std::ofstream(Dir() / "fault-refuse-time").put('\n');
  CalendarTime later = kLeapDay;
  later.wYear = 2030;
  later.wMonth = 3;
  later.wDay = 1;
  EXPECT_EQ(Call(library_.function(), Record(later, 0)).status, 0);
  EXPECT_NEAR(ClockNow(), kLeapDaySeconds, 2);
  EXPECT_FALSE(std::filesystem::exists(Dir() / "fault-refuse-time"));  // one refusal per flag

  CalendarTime impossible = later;
  impossible.wMonth = 2;
  impossible.wDay = 29;  // 2030 is no leap year
  EXPECT_EQ(Call(library_.function(), Record(impossible, 0)).status, 0);
  auto shortRecord = Record(later, 0);
  shortRecord.pop_back();
  EXPECT_EQ(Call(library_.function(), shortRecord).status, 0);
  EXPECT_NEAR(ClockNow(), kLeapDaySeconds, 2);

  EXPECT_NE(Call(library_.function(), Record(later, 0)).status, 0);
  EXPECT_GT(ClockNow(), kLeapDaySeconds + 5 * 365 * 86400);
}

}  // namespace
}  // namespace corvash::device::test
