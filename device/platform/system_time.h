#pragma once
// The handheld's clock, kept in the state folder (common/handheld_folder.h)
// as an offset from the host's UTC. Any thread.
#include <cstdint>
#include <optional>

#include "device/platform/ce_types.h"

namespace corvash::ce {

struct SYSTEMTIME {
  WORD wYear = 0;
  WORD wMonth = 0;
  WORD wDayOfWeek = 0;
  WORD wDay = 0;
  WORD wHour = 0;
  WORD wMinute = 0;
  WORD wSecond = 0;
  WORD wMilliseconds = 0;
};

// Sets the clock from a UTC calendar time (wDayOfWeek is ignored; the
// milliseconds are dropped, the clock keeps seconds). FALSE with
// ERROR_INVALID_PARAMETER for a null or impossible time (years 1601 to
// 30827) or when a refuse-time flag is armed, ERROR_NOT_READY without a
// state folder, ERROR_WRITE_FAULT when the clock cannot be stored.
BOOL SetSystemTime(const SYSTEMTIME* lpSystemTime);
// The clock as a UTC calendar time.
void GetSystemTime(SYSTEMTIME* lpSystemTime);

// Seconds since 1970-01-01 UTC of a valid calendar time; nullopt otherwise.
std::optional<int64_t> SecondsOf(const SYSTEMTIME& time);
SYSTEMTIME CalendarOf(int64_t seconds);

}  // namespace corvash::ce
