#include "device/platform/system_time.h"

#include <unistd.h>

#include <chrono>
#include <ctime>

#include "common/handheld_folder.h"

namespace corvash::ce {

std::optional<int64_t> SecondsOf(const SYSTEMTIME& time) {
  using namespace std::chrono;
  const year_month_day date{year{time.wYear}, month{time.wMonth}, day{time.wDay}};
  if (time.wYear < 1601 || time.wYear > 30827 || !date.ok() || time.wHour > 23 || time.wMinute > 59 ||
      time.wSecond > 59 || time.wMilliseconds > 999) {
    return std::nullopt;
  }
  const auto midnight = sys_days{date}.time_since_epoch();
  return duration_cast<seconds>(midnight).count() + time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

SYSTEMTIME CalendarOf(int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds at{std::chrono::seconds{seconds}};
  const sys_days day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss clock{at - day};
  SYSTEMTIME time;
  time.wYear = static_cast<WORD>(static_cast<int>(date.year()));
  time.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
  time.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
  time.wDayOfWeek = static_cast<WORD>(weekday{day}.c_encoding());
  time.wHour = static_cast<WORD>(clock.hours().count());
  time.wMinute = static_cast<WORD>(clock.minutes().count());
  time.wSecond = static_cast<WORD>(clock.seconds().count());
  return time;
}

BOOL SetSystemTime(const SYSTEMTIME* lpSystemTime) {
  const auto folder = common::Folder::FromEnvironment();
  if (!folder) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  const auto seconds = lpSystemTime != nullptr ? SecondsOf(*lpSystemTime) : std::nullopt;
  // Removing the flag is what consumes it: of two callers, one refuses.
  const auto flag = folder->RefuseTimeFlagPath();
  if (!seconds || ::unlink(flag.c_str()) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!folder->SetClock(*seconds)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

void GetSystemTime(SYSTEMTIME* lpSystemTime) {
  const auto folder = common::Folder::FromEnvironment();
  const int64_t now = folder ? folder->ClockNow() : static_cast<int64_t>(std::time(nullptr));
  if (lpSystemTime != nullptr) *lpSystemTime = CalendarOf(now);
}

}  // namespace corvash::ce
