#include "desktop/session/flash_settings.h"

#include <mutex>
#include <string>
#include <string_view>

#include "common/fixed_text.h"
#include "common/hive.h"
#include "desktop/platform/prefix.h"
#include "desktop/platform/trace.h"

namespace corvash::session {

namespace {

using common::HiveValue;
using common::TextOf;

// Limits of the value walk: a name of at most 99 characters (100 with the
// terminator) and at most 260 bytes of data.
constexpr size_t kNameBufferChars = 100;
constexpr size_t kDataBufferBytes = 260;

std::mutex g_userHiveMutex;

// `text` cut or zero-filled to exactly `size` bytes.
HiveValue FixedString(const char* name, std::string_view text, size_t size) {
  std::string bytes(text.substr(0, size));
  bytes.resize(size, '\0');
  return HiveValue::StringBytes(name, bytes);
}

}  // namespace

void WriteFlashSettings(const HandheldIdentity& handheld, const ChosenImage& image, uint32_t serialLink) {
  std::lock_guard lock(g_userHiveMutex);
  common::Hive hive = platform::LoadUserHive();
  hive.CreateKey(kSettingsKey);
  hive.SetValue(kSettingsKey, HiveValue::Dword("Flash", 1));
  hive.SetValue(kSettingsKey, FixedString("Language", TextOf(handheld.deviceLanguage), 20));
  hive.SetValue(kSettingsKey, FixedString("ModelID", TextOf(handheld.deviceModel), 15));
  hive.SetValue(kSettingsKey, FixedString("Lang", TextOf(handheld.deviceLangCode), 10));
  hive.SetValue(kSettingsKey, FixedString("Version", TextOf(handheld.deviceVersion), 20));
  hive.SetValue(kSettingsKey, HiveValue::Dword("USB", serialLink == 0 ? 1 : 0));
  hive.SetValue(kSettingsKey, HiveValue::StringBytes("FlashFile", TextOf(image.imagePath)));
  if (!platform::SaveUserHive(hive)) platform::Trace("\r\n WriteFlashSettings: user.reg not saved\r\n");
}

FlashRecord ReadFlashSettings() {
  std::lock_guard lock(g_userHiveMutex);
  const common::Hive hive = platform::LoadUserHive();
  const std::vector<HiveValue>* values = hive.Values(kSettingsKey);
  FlashRecord record;
  if (values == nullptr) return record;
  for (const HiveValue& value : *values) {
    if (value.name.size() >= kNameBufferChars || value.data.size() > kDataBufferBytes) continue;
    if (common::EqualsNoCase(value.name, "Flash")) {
      // Only the lowest byte counts.
      record.pending = !value.data.empty() && value.data[0] == 1 ? 1 : 0;
    } else if (common::EqualsNoCase(value.name, "FlashFile")) {
      std::string_view path(reinterpret_cast<const char*>(value.data.data()), value.data.size());
      path = path.substr(0, path.find('\0'));
      if (path.size() >= kPathCapacity) continue;
      record.imagePath = std::string(path);
    }
  }
  return record;
}

void DeleteFlashSettings() {
  std::lock_guard lock(g_userHiveMutex);
  common::Hive hive = platform::LoadUserHive();
  if (hive.DeleteKey(kSettingsKey) && !platform::SaveUserHive(hive)) {
    platform::Trace("\r\n DeleteFlashSettings: user.reg not saved\r\n");
  }
}

}  // namespace corvash::session
