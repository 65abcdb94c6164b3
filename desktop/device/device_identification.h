#pragma once
// Identification of a handheld that runs its own system: the identification
// library Havlok.dll is copied to the handheld's \Windows folder and its
// function Havlok answers with three UTF-16 fields of 25 units each:
//
//   byte   0  version field  chars 0-3 the ROM version, from char 8 the language code
//   byte  50  model field    chars 7-10, 11, 13-16 the model name (char 12 skipped),
//                            chars 17-19 the variant; "Ser" anywhere: a serial link
//   byte 100  size field     the flash size in MiB, decimal
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace corvash::device {

inline constexpr size_t kAnswerFieldUnits = 25;

// The device language table: device codes to the English names that
// deviceLanguage keeps. It is the device's own (no Portuguese rows).
std::string_view DeviceLanguageName(std::string_view code);

// What an answer says, taken apart. Texts are as the fields give them, each
// at most 24 characters.
struct IdentificationAnswer {
  std::string version;
  std::string langCode;
  std::string model;
  std::string variant;
  bool serialLink = false;
  uint8_t flashSizeMB = 0;
};
// Reads the answer; bytes missing from a short answer read as zero.
IdentificationAnswer ParseIdentificationAnswer(std::span<const uint8_t> answer);

// Identifies the linked handheld (one session start, copy, call, session
// end) and fills deviceVersion, deviceLangCode, deviceModel, deviceVariant,
// serialLink, identityText and flashSizeMB, and, for a known language,
// deviceLanguage and imageSizeKB (from `firstImageSize`, the byte size of the
// update image beside the program, 0 when none). Then writes the identity to
// the handheld (InvokeWriteArea). 1 when identified as a "Quor 5210".
// 0 without a screen and with the device fields unchanged when the session,
// the copy or the call fails; 0 after FEHLER 117 (window closed) for another
// model. Wizard thread.
uint32_t IdentifyDevice(const std::function<uint32_t()>& firstImageSize);

}  // namespace corvash::device
