// Dovrin.dll's export: sets the handheld's clock to the UTC time of a
// ClockRecord. The record's time zone is carried, not applied: the handheld
// keeps its own. Returns the platform's set-system-time result (nonzero:
// set; 0: refused) and writes no trace.
#include <type_traits>

#include "common/device_extension.h"
#include "device/common/clock_record.h"
#include "device/platform/system_time.h"

extern "C" __attribute__((visibility("default"))) int32_t SetSysTime(uint32_t cbInput, uint8_t* pInput,
                                                                    uint32_t* /*pcbOutput*/,
                                                                    uint8_t** /*ppOutput*/, void* /*pStream*/) {
  using namespace corvash;
  // A short input would have the time read from past the caller's record.
  const auto record = pInput != nullptr ? device::UnpackClockRecord({pInput, cbInput}) : std::nullopt;
  if (!record) return 0;
  const device::CalendarTime& utc = record->utcTime;
  const ce::SYSTEMTIME time{utc.wYear, utc.wMonth,  utc.wDayOfWeek, utc.wDay,
                            utc.wHour, utc.wMinute, utc.wSecond,    utc.wMilliseconds};
  return ce::SetSystemTime(&time);
}

static_assert(std::is_same_v<decltype(&SetSysTime), DeviceExtensionFunction>);
