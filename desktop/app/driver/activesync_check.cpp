#include "desktop/app/driver/activesync_check.h"

#include <optional>

#include "common/hive.h"
#include "desktop/platform/prefix.h"

namespace corvash::driver {
namespace {

constexpr const char* kActiveSyncKey = "SOFTWARE\\Microsoft\\Windows CE Services";

uint64_t DwordOrZero(const common::Hive& hive, const char* name) {
  const std::optional<common::HiveValue> value = hive.GetValue(kActiveSyncKey, name);
  if (!value || value->type != common::kRegDword || value->data.size() != 4) return 0;
  return value->AsDword();
}

}  // namespace

uint32_t ActiveSyncVersionSufficient(const common::Hive& machineHive) {
  // Wide arithmetic: a huge major number must not wrap round to a small one.
  const uint64_t version = DwordOrZero(machineHive, "MajorVersion") * 10 + DwordOrZero(machineHive, "MinorVersion");
  return version >= 35 ? 1 : 0;
}

uint32_t CheckActiveSyncVersion() { return ActiveSyncVersionSufficient(platform::LoadSystemHive()); }

}  // namespace corvash::driver
