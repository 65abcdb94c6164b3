#pragma once
// Text as it crosses to the handheld: UTF-16 (little-endian on the wire and
// in device records) on the handheld's side, UTF-8 on this desktop. Pure; any
// thread.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvash::common {

// UTF-8 to UTF-16. A byte that starts no valid sequence becomes U+FFFD.
std::u16string ToUtf16(std::string_view utf8);
// UTF-16 to UTF-8, up to the first zero unit. An unpaired surrogate becomes U+FFFD.
std::string FromUtf16(std::u16string_view utf16);

// Appends `point` in UTF-8; a surrogate or a value past U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t point);
// `bytes` with every byte that starts no valid UTF-8 sequence replaced by
// U+FFFD, one replacement a byte (stray continuation bytes, truncated,
// overlong or surrogate sequences, values past U+10FFFF); zero bytes stay.
std::string SanitizeUtf8(std::string_view bytes);

// The UTF-16LE field of `units` code units at the start of `bytes`, up to
// its first zero unit; bytes past the end of `bytes` read as zero.
std::u16string ReadUtf16Field(std::span<const uint8_t> bytes, size_t units);
// Writes `text` as UTF-16LE into `field`, cut to leave room for a zero unit,
// zero-filling the rest. A field shorter than 2 bytes stays untouched.
void WriteUtf16Field(std::span<uint8_t> field, std::u16string_view text);

}  // namespace corvash::common
