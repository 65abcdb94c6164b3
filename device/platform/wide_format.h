#pragma once
// Formatted printing of wide text into a fixed buffer, as the platform's
// wsprintfW does, but with the arguments' types known: a mismatch prints a
// neutral value instead of reading the wrong thing. Any thread.
//
// Conversions: %d %i %u %x %X %c %s %ls %S %%, with the flag '-' or '0' and a
// width; the length modifiers l, h and w are accepted and ignored (every
// number is 32 bits on the handheld). %s means wide text, as it does in the
// platform's wide printing.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "device/platform/ce_types.h"

namespace corvash::ce {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Text };
  FormatArg(int32_t value) : kind_(Kind::Signed), number_(value) {}
  FormatArg(uint32_t value) : kind_(Kind::Unsigned), number_(value) {}
  FormatArg(std::u16string_view text) : kind_(Kind::Text), text_(text) {}
  FormatArg(const WCHAR* text) : kind_(Kind::Text), text_(text != nullptr ? text : u"(null)") {}

  Kind kind() const { return kind_; }
  int64_t number() const { return number_; }
  std::u16string_view text() const { return text_; }

 private:
  Kind kind_;
  int64_t number_ = 0;
  std::u16string_view text_;
};

// Formats into `buffer`, cut to leave room for the zero unit that always
// ends it. Returns the units written before the zero; 0 for an empty buffer.
int FormatWide(std::span<WCHAR> buffer, std::u16string_view format, std::initializer_list<FormatArg> args);

template <typename... Args>
int wsprintfW(std::span<WCHAR> buffer, std::u16string_view format, const Args&... args) {
  return FormatWide(buffer, format, {FormatArg(args)...});
}

// The decimal number at the start of `text` (spaces, an optional sign, then
// digits), as the platform's _wtoi reads it; 0 when none, and the nearest
// int when it does not fit. Null reads as 0.
int _wtoi(const WCHAR* text);

// The text of a zero-terminated buffer, never past its end.
inline std::u16string_view TextOf(std::span<const WCHAR> buffer) {
  size_t length = 0;
  while (length < buffer.size() && buffer[length] != 0) ++length;
  return std::u16string_view(buffer.data(), length);
}

}  // namespace corvash::ce
