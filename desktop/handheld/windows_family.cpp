#include "desktop/handheld/windows_family.h"

#include <optional>
#include <string>

#include "common/fixed_text.h"
#include "common/hive.h"
#include "desktop/platform/prefix.h"

namespace corvash::handheld {

namespace {

constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr size_t kVersionBufferBytes = 100;

}  // namespace

uint32_t QueryWindowsFamily() {
  const common::Hive hive = platform::LoadSystemHive();
  const std::optional<common::HiveValue> value = hive.GetValue(kVersionKey, "CurrentVersion");
  if (!value || value->data.size() > kVersionBufferBytes) return kFamilySnapshot;
  const std::string text = value->AsText();
  if (common::Contains(text, "4.") || common::Contains(text, "3.")) return kFamilyWindowTitles;
  if (common::Contains(text, "5.")) return kFamilyProcessStatus;
  return kFamilySnapshot;
}

}  // namespace corvash::handheld
