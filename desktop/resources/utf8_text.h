#pragma once
// UTF-8 helpers for the texts of the resource script.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvash::resources {

// Appends code point `cp` in UTF-8; surrogates and values past U+10FFFF
// become U+FFFD.
void AppendUtf8(std::string& out, uint32_t cp);

// `bytes` with every invalid UTF-8 sequence (stray continuation bytes,
// truncated or overlong sequences, surrogates) replaced by U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

}  // namespace corvash::resources
