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
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "desktop/handheld/remote_session.h"
#include "desktop/session/update_session.h"

namespace corvash::handheld {

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

// What identification learned beyond the identity, and what the caller
// must show.
struct Identification {
  // A "Quor 5210" answered and its identity was written to it.
  bool identified = false;
  // The handheld answered: the identity's device fields and serialLink hold
  // its answer.
  bool answered = false;
  bool serialLink = false;
  // The update image's size in KiB (from `firstImageSize`), learnt for a
  // known language only.
  std::optional<uint32_t> imageSizeKB;
  // The screen the caller shows before it closes the run (FEHLER 117 for
  // another model); 0 for none.
  int screen = 0;
};

// Identifies the linked handheld (one session start on `remote`, the copy of
// Havlok.dll from `programDir`, the call, the session end) and fills
// `identity`: deviceVersion, deviceLangCode, deviceModel, deviceVariant,
// identityText and flashSizeMB, and, for a known language, deviceLanguage.
// `firstImageSize` gives the byte size of the update image beside the
// program, 0 when none. Then writes the identity to the handheld
// (InvokeWriteArea). Nothing answered (session, copy or call failed):
// `identity` unchanged, no screen. Another model: the device fields and
// serialLink taken, the session ended, screen FEHLER 117. Wizard thread.
Identification IdentifyDevice(RemoteSession& remote, std::string_view programDir, session::HandheldIdentity& identity,
                              const std::function<uint32_t()>& firstImageSize);

}  // namespace corvash::handheld
