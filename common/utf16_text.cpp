#include "common/utf16_text.h"

#include <algorithm>

namespace corvash::common {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from the head of `utf8`; `length` gets the bytes it
// took. An ill-formed sequence gives U+FFFD and, when its lead byte and
// continuation bytes are all there, takes them all.
char32_t DecodeUtf8(std::string_view utf8, size_t* length, bool* wellFormed) {
  *wellFormed = false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned char lead = byte(0);
  size_t count = 0;
  char32_t point = 0;
  if (lead < 0x80) { *length = 1; *wellFormed = true; return lead; }
  if ((lead & 0xE0) == 0xC0) { count = 2; point = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { count = 3; point = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { count = 4; point = lead & 0x07; }
  else { *length = 1; return kReplacement; }
  if (utf8.size() < count) { *length = 1; return kReplacement; }
  for (size_t i = 1; i < count; ++i) {
    if ((byte(i) & 0xC0) != 0x80) { *length = 1; return kReplacement; }
    point = (point << 6) | (byte(i) & 0x3F);
  }
  *length = count;
  const bool overlong = (count == 2 && point < 0x80) || (count == 3 && point < 0x800) || (count == 4 && point < 0x10000);
  if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return kReplacement;
  *wellFormed = true;
  return point;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t point) {
  if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) point = kReplacement;
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    size_t length = 1;
    bool wellFormed = false;
    DecodeUtf8(bytes, &length, &wellFormed);
    if (wellFormed) {
      out.append(bytes.substr(0, length));
    } else {
      // Unlike ToUtf16, the bytes after a bad lead are read again.
      AppendUtf8(out, kReplacement);
      length = 1;
    }
    bytes.remove_prefix(length);
  }
  return out;
}

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    size_t length = 1;
    bool wellFormed = false;
    const char32_t point = DecodeUtf8(utf8, &length, &wellFormed);
    utf8.remove_prefix(length);
    if (point >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(point));
    }
  }
  return out;
}

std::string FromUtf16(std::u16string_view utf16) {
  std::string out;
  for (size_t i = 0; i < utf16.size() && utf16[i] != 0; ++i) {
    const char16_t unit = utf16[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{utf16[i + 1]} - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string ReadUtf16Field(std::span<const uint8_t> bytes, size_t units) {
  std::u16string text;
  for (size_t i = 0; i < units; ++i) {
    const size_t at = 2 * i;
    const uint8_t low = at < bytes.size() ? bytes[at] : 0;
    const uint8_t high = at + 1 < bytes.size() ? bytes[at + 1] : 0;
    const auto unit = static_cast<char16_t>(low | (high << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

void WriteUtf16Field(std::span<uint8_t> field, std::u16string_view text) {
  if (field.size() < 2) return;
  std::fill(field.begin(), field.end(), uint8_t{0});
  const size_t room = field.size() / 2 - 1;
  size_t count = std::min(text.size(), room);
  // Never leave the first half of a surrogate pair without its second.
  if (count > 0 && count < text.size() && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
  for (size_t i = 0; i < count; ++i) {
    field[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}

}  // namespace corvash::common
