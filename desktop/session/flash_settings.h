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
// WriteFlashSettings() writes the seven values in this order (creating the
//   key). A hive that cannot be saved leaves no record; the caller is not
//   told.
// ReadFlashSettings() -> 1 when the first byte of "Flash" is 1, else 0 (also
//   when the key is absent). Value names match without regard to case. A
//   "FlashFile" value sets imagePath to its characters and recoveryMode to 1.
//   A value whose name exceeds 99 characters or whose data exceeds 260 bytes
//   is skipped, as is a "FlashFile" of 260 characters or more, which
//   imagePath cannot hold whole.
// DeleteFlashSettings() removes the key; nothing happens when it is absent.
//
// The three calls serialize their access to user.reg among themselves; any
// thread.
#include <cstdint>

namespace corvash::session {

inline constexpr const char* kSettingsKey = "Software\\DadivUzizova";

void WriteFlashSettings();
uint32_t ReadFlashSettings();
void DeleteFlashSettings();

}  // namespace corvash::session
