#pragma once
// ClockRecord: the input record of SetSysTime (188 bytes, little-endian).
//
//    0  172  the PC's time zone, in the layout of TIME_ZONE_INFORMATION
//            (carried, not applied on the handheld)
//  172   16  the PC's current time in UTC, in the layout of SYSTEMTIME
//
// Pure; any thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvash::device {

inline constexpr size_t kClockRecordSize = 188;
inline constexpr size_t kTimeZoneSize = 172;
inline constexpr size_t kCalendarTimeSize = 16;

// Eight 16-bit fields, as SYSTEMTIME orders them.
struct CalendarTime {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

struct TimeZoneInformation {
  int32_t Bias = 0;  // minutes, UTC = local time + Bias
  std::array<char16_t, 32> StandardName{};
  CalendarTime StandardDate;
  int32_t StandardBias = 0;
  std::array<char16_t, 32> DaylightName{};
  CalendarTime DaylightDate;
  int32_t DaylightBias = 0;
};

struct ClockRecord {
  TimeZoneInformation timeZone;
  CalendarTime utcTime;
};

std::array<uint8_t, kClockRecordSize> Pack(const ClockRecord& record);
// nullopt when `bytes` is shorter than the record; bytes beyond it are ignored.
std::optional<ClockRecord> UnpackClockRecord(std::span<const uint8_t> bytes);

}  // namespace corvash::device
