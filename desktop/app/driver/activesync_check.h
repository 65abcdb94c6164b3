#pragma once
// The sync software must be version 3.5 or later. Its version is registered
// in the machine hive (system.reg of the prefix) as the dword values
// "MajorVersion" and "MinorVersion" of "SOFTWARE\Microsoft\Windows CE Services".
#include <cstdint>

namespace corvash::common {
class Hive;
}

namespace corvash::driver {

// 1 when major * 10 + minor >= 35. A value that is missing or not a 4-byte
// dword counts as 0, so a missing key fails.
uint32_t ActiveSyncVersionSufficient(const common::Hive& machineHive);

// The same check against the prefix's system.reg.
uint32_t CheckActiveSyncVersion();

}  // namespace corvash::driver
