#include "device/common/clock_record.h"

#include "common/little_endian.h"

namespace corvash::device {

using common::GetLE16;
using common::GetLE32;
using common::PutLE16;
using common::PutLE32;

namespace {

// Field order of the calendar time, as the record lays it out.
constexpr uint16_t CalendarTime::*kCalendarFields[] = {
    &CalendarTime::wYear,   &CalendarTime::wMonth,  &CalendarTime::wDayOfWeek, &CalendarTime::wDay,
    &CalendarTime::wHour,   &CalendarTime::wMinute, &CalendarTime::wSecond,    &CalendarTime::wMilliseconds};

void PutCalendar(const CalendarTime& time, uint8_t* at) {
  for (auto field : kCalendarFields) {
    PutLE16(time.*field, at);
    at += 2;
  }
}

CalendarTime GetCalendar(const uint8_t* at) {
  CalendarTime time;
  for (auto field : kCalendarFields) {
    time.*field = GetLE16(at);
    at += 2;
  }
  return time;
}

void PutName(const std::array<char16_t, 32>& name, uint8_t* at) {
  for (size_t i = 0; i < name.size(); ++i) PutLE16(name[i], at + 2 * i);
}

std::array<char16_t, 32> GetName(const uint8_t* at) {
  std::array<char16_t, 32> name{};
  for (size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(GetLE16(at + 2 * i));
  return name;
}

// Offsets inside the time-zone part.
constexpr size_t kStandardName = 4;
constexpr size_t kStandardDate = 68;
constexpr size_t kStandardBias = 84;
constexpr size_t kDaylightName = 88;
constexpr size_t kDaylightDate = 152;
constexpr size_t kDaylightBias = 168;

}  // namespace

std::array<uint8_t, kClockRecordSize> Pack(const ClockRecord& record) {
  std::array<uint8_t, kClockRecordSize> bytes{};
  const TimeZoneInformation& zone = record.timeZone;
  PutLE32(static_cast<uint32_t>(zone.Bias), &bytes[0]);
  PutName(zone.StandardName, &bytes[kStandardName]);
  PutCalendar(zone.StandardDate, &bytes[kStandardDate]);
  PutLE32(static_cast<uint32_t>(zone.StandardBias), &bytes[kStandardBias]);
  PutName(zone.DaylightName, &bytes[kDaylightName]);
  PutCalendar(zone.DaylightDate, &bytes[kDaylightDate]);
  PutLE32(static_cast<uint32_t>(zone.DaylightBias), &bytes[kDaylightBias]);
  PutCalendar(record.utcTime, &bytes[kTimeZoneSize]);
  return bytes;
}

std::optional<ClockRecord> UnpackClockRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() < kClockRecordSize) return std::nullopt;
  ClockRecord record;
  TimeZoneInformation& zone = record.timeZone;
  zone.Bias = static_cast<int32_t>(GetLE32(&bytes[0]));
  zone.StandardName = GetName(&bytes[kStandardName]);
  zone.StandardDate = GetCalendar(&bytes[kStandardDate]);
  zone.StandardBias = static_cast<int32_t>(GetLE32(&bytes[kStandardBias]));
  zone.DaylightName = GetName(&bytes[kDaylightName]);
  zone.DaylightDate = GetCalendar(&bytes[kDaylightDate]);
  zone.DaylightBias = static_cast<int32_t>(GetLE32(&bytes[kDaylightBias]));
  record.utcTime = GetCalendar(&bytes[kTimeZoneSize]);
  return record;
}

}  // namespace corvash::device
