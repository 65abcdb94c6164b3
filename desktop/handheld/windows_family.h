#pragma once
// Which Windows family the desktop counts as, from the prefix's system.reg:
// the text of "CurrentVersion" under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion.
//
// QueryWindowsFamily() -> 2 when the text contains "4." or "3." (tested
//   first), 1 when it contains "5.", 0 when it contains none of them or the
//   value cannot be read (no hive, no key, no value, or more than the 100
//   bytes the value is read into). Reads only; any thread.
#include <cstdint>

namespace corvash::handheld {

inline constexpr uint32_t kFamilySnapshot = 0;       // none of the texts: process snapshot
inline constexpr uint32_t kFamilyProcessStatus = 1;  // "5."
inline constexpr uint32_t kFamilyWindowTitles = 2;   // "4." or "3."

uint32_t QueryWindowsFamily();

}  // namespace corvash::handheld
