#pragma once
#include "desktop/pages/page_ids.h"
// The 32-byte text header of a ROM image file (".nbf"), and its reading into
// the session.
//
//   offset  0  model (9)      "Quor 5210"
//           9  "-"
//          10  variant (3)    "NBT", "WBT"
//          13  "-"
//          14  language (3)   "ENG", ...
//          17  "-"
//          18  version (4)    "2.04"
//          22  "-"
//          23  checksum (1-4 hexadecimal digits), then "-" up to offset 31
//          32  payload, sent to the handheld unchanged
//
// ReadImageHeader(path) -> 1 when the header was read into imageModel,
//   imageVariant, imageLangCode, imageVersion, imageChecksumText (and
//   imageLanguage when the code is in the image language table); a file
//   shorter than 32 bytes reads its missing bytes as zero, so its fields come
//   out short or empty and the later checks fail. 0 when the file cannot be
//   opened: silently when it does not exist and recoveryMode is set (a stored
//   image has vanished); otherwise the progress page (if open) is hidden,
//   FEHLER 104 (dialog 141) is shown, the main window is closed. Any thread.
//
// ParseImageHeader / FormatImageHeader are pure; any thread.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvash::image {

inline constexpr size_t kHeaderSize = 32;
// Header bytes 0..21 enter the checksum; 22..31 (separator, checksum text,
// padding) do not.
inline constexpr size_t kSummedHeaderBytes = 22;

inline constexpr size_t kModelOffset = 0, kModelLength = 9;
inline constexpr size_t kVariantOffset = 10, kVariantLength = 3;
inline constexpr size_t kLangCodeOffset = 14, kLangCodeLength = 3;
inline constexpr size_t kVersionOffset = 18, kVersionLength = 4;
inline constexpr size_t kChecksumOffset = 23, kChecksumMaxLength = 4;
// The checksum text and its "-" padding together.
inline constexpr size_t kChecksumFieldLength = 9;

inline constexpr char kSeparator = '-';

// Dialog of FEHLER 104 (image cannot be opened).
inline constexpr int kImageOpenErrorDialog = pages::kScreenImageNotOpened;

struct ImageHeaderFields {
  std::string model;
  std::string variant;
  std::string langCode;
  std::string version;
  std::string checksumText;  // the characters before the first "-", at most 4
};

// Splits a header. Bytes past the end of `header` read as zero; a field ends
// at its slot's end or at a zero byte.
ImageHeaderFields ParseImageHeader(std::span<const uint8_t> header);

// The header the backup writer lays down: model, "-", variant, "-",
// language, "-", version, "-", the checksum in lower-case hexadecimal without
// leading zeros ("0" for zero), "-" up to offset 31. Nullopt when a field
// does not fill its slot exactly (a longer one would run into the payload, a
// shorter one would shift every later field).
std::optional<std::array<char, kHeaderSize>> FormatImageHeader(std::string_view model,
                                                               std::string_view variant,
                                                               std::string_view langCode,
                                                               std::string_view version,
                                                               uint16_t checksum);

// The payload size of a file of `fileSize` bytes; 0 when it is no longer than
// its header.
inline uint64_t PayloadSize(uint64_t fileSize) {
  return fileSize > kHeaderSize ? fileSize - kHeaderSize : 0;
}

uint32_t ReadImageHeader(std::string_view path);

}  // namespace corvash::image
