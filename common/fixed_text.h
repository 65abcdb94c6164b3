#pragma once
// Fixed-capacity, zero-terminated text fields as the session record keeps
// them. Copies are bounded: a text longer than the field loses its tail and
// one byte always stays for the terminator.
#include <cstddef>
#include <cstring>
#include <string_view>

namespace corvash::common {

// The longest cut of `text` at or before `length` bytes that does not split a
// UTF-8 sequence (texts are UTF-8 on this desktop).
inline size_t CleanCut(std::string_view text, size_t length) {
  if (length >= text.size()) return text.size();
  size_t cut = length;
  // Step back over continuation bytes to the lead byte of the split sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80 && length - cut < 3) --cut;
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) return length;  // not UTF-8: cut as is
  return cut;
}

template <size_t N>
void CopyText(char (&field)[N], std::string_view text) {
  static_assert(N > 0);
  size_t length = text.size() < N - 1 ? text.size() : N - 1;
  if (length < text.size()) length = CleanCut(text, length);
  if (length > 0) std::memmove(field, text.data(), length);
  std::memset(field + length, 0, N - length);
}

// Zeroes every byte of the field.
template <size_t N>
void ClearText(char (&field)[N]) {
  std::memset(field, 0, N);
}

// The field's text up to its terminator (never past its capacity).
template <size_t N>
std::string_view TextOf(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

// Comparison without regard to case (ASCII letters), as identities are compared.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Whether `text` contains `part`, case-sensitive.
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace corvash::common
