#include "desktop/handheld/library_invocations.h"

#include <time.h>

#include <vector>

#include "common/fixed_text.h"
#include "common/utf16_text.h"
#include "desktop/handheld/device_files.h"
#include "desktop/handheld/remote_session.h"
#include "desktop/platform/trace.h"
#include "device/common/clock_record.h"
#include "device/common/query_reserved_area.h"

namespace corvash::handheld {

using device::CalendarTime;
using device::ClockRecord;
using device::MakeQueryReservedArea;
using device::Pack;
using device::QueryReservedArea;
using device::ReservedLengthFor;

namespace {

// Copies `library` beside the program to the handheld's \Windows folder.
bool CopyLibrary(rapi::RemoteApi& api, std::string_view programDir, std::string_view library) {
  const std::string name(library);
  return CopyFileToDevice(api, ProgramFilePath(programDir, name), common::ToUtf16(std::string(kDeviceWindowsDir) + name)) != 0;
}

// Calls `function` of `library` with `input`; the output is not read.
void Invoke(rapi::RemoteApi& api, std::string_view library, const char16_t* function, std::span<const uint8_t> input) {
  std::vector<uint8_t> output;
  if (api.CeRapiInvoke(common::ToUtf16(library), function, input, output) < 0) {
    api.CeGetLastError();
  }
}

void CopyName(std::array<char16_t, 32>& field, const char* name) {
  const std::u16string text = common::ToUtf16(name != nullptr ? name : "");
  for (size_t i = 0; i + 1 < field.size() && i < text.size(); ++i) field[i] = text[i];
}

CalendarTime ToCalendarTime(const struct tm& utc, long milliseconds) {
  CalendarTime time;
  time.wYear = static_cast<uint16_t>(utc.tm_year + 1900);
  time.wMonth = static_cast<uint16_t>(utc.tm_mon + 1);
  time.wDayOfWeek = static_cast<uint16_t>(utc.tm_wday);
  time.wDay = static_cast<uint16_t>(utc.tm_mday);
  time.wHour = static_cast<uint16_t>(utc.tm_hour);
  time.wMinute = static_cast<uint16_t>(utc.tm_min);
  time.wSecond = static_cast<uint16_t>(utc.tm_sec);
  time.wMilliseconds = static_cast<uint16_t>(milliseconds);
  return time;
}

}  // namespace

ClockRecord PcClockRecord() {
  ClockRecord record;
  // The time zone first, then the time, as the handheld is told them.
  ::tzset();
  record.timeZone.Bias = static_cast<int32_t>(::timezone / 60);
  CopyName(record.timeZone.StandardName, ::tzname[0]);
  CopyName(record.timeZone.DaylightName, ::tzname[1]);
  record.timeZone.DaylightBias = ::daylight != 0 ? -60 : 0;
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm utc {};
  ::gmtime_r(&now.tv_sec, &utc);
  record.utcTime = ToCalendarTime(utc, now.tv_nsec / 1000000);
  return record;
}

uint32_t WriteAreaLength(std::string_view identityText) {
  return ReservedLengthFor(common::ToUtf16(identityText).size());
}

int InvokeWriteArea(RemoteSession& remote, std::string_view programDir, std::string_view identityText) {
  if (!remote.Open()) return 0;
  const QueryReservedArea record = MakeQueryReservedArea(common::ToUtf16(identityText));
  if (CopyLibrary(remote.Api(), programDir, "Zembra.dll")) Invoke(remote.Api(), "Zembra.dll", u"WriteArea", Pack(record));
  remote.End();
  return 1;
}

int InvokeSetSysTime(RemoteSession& remote, std::string_view programDir) {
  if (!remote.Open()) return 0;
  const ClockRecord record = PcClockRecord();
  if (CopyLibrary(remote.Api(), programDir, "Dovrin.dll")) {
    Invoke(remote.Api(), "Dovrin.dll", u"SetSysTime", Pack(record));
    platform::Trace("\r\n Copy Dovrin.dll successful\r\n");
  } else {
    platform::Trace("\r\n Copy Dovrin.dll fail\r\n");
  }
  remote.End();
  return 1;
}

}  // namespace corvash::handheld
