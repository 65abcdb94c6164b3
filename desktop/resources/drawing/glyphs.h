#pragma once
// A small 5x7 pixel font: digits, the Latin letters and a few signs.
#include <array>
#include <cstdint>

namespace corvash::resources::drawing {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;

// Rows top to bottom, bit 4 = leftmost column. Unknown characters are blank.
std::array<uint8_t, kGlyphHeight> Glyph(char c);

}  // namespace corvash::resources::drawing
