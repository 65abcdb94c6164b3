#pragma once
// The pending-flash record kept between runs, under the current user's key
// "Software\DadivUzizova" in the prefix's user.reg.
//
//   "Flash"     dword 1
//   "Language"  string, deviceLanguage zero-filled to 20 bytes
//   "ModelID"   string, deviceModel zero-filled to 15 bytes
//   "Lang"      string, deviceLangCode zero-filled to 10 bytes
//   "Version"   string, deviceVersion zero-filled to 20 bytes
//   "USB"       dword, 1 when serialLink is 0, else 0
//   "FlashFile" string, imagePath's characters without a terminator
//
// A text longer than its fixed size is cut to it.
//
// WriteFlashSettings(handheld, image, serialLink) writes the seven values in
//   this order (creating the key). A hive that cannot be saved leaves no
//   record; the caller is not told.
// ReadFlashSettings() -> the record: pending is 1 when the first byte of
//   "Flash" is 1, else 0 (also when the key is absent); imagePath holds the
//   characters of "FlashFile" when there is one (the caller takes it as
//   imagePath and sets recoveryMode). Value names match without regard to
//   case; of two values of one name the later counts. A value whose name
//   exceeds 99 characters or whose data exceeds 260 bytes is skipped, as is a
//   "FlashFile" of 260 characters or more, which imagePath cannot hold whole.
// DeleteFlashSettings() removes the key; nothing happens when it is absent.
//
// The three calls serialize their access to user.reg among themselves; any
// thread.
#include <cstdint>
#include <optional>
#include <string>

#include "desktop/session/update_session.h"

namespace corvash::session {

inline constexpr const char* kSettingsKey = "Software\\DadivUzizova";

// What ReadFlashSettings found.
struct FlashRecord {
  uint32_t pending = 0;
  std::optional<std::string> imagePath;
};

void WriteFlashSettings(const HandheldIdentity& handheld, const ChosenImage& image, uint32_t serialLink);
FlashRecord ReadFlashSettings();
void DeleteFlashSettings();

}  // namespace corvash::session
