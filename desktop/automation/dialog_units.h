#pragma once
// Dialog units, as the dialog manager turns them into pixels: the base units
// come from the dialog font (the average width of the Latin letters and the
// cell height); a horizontal unit is a quarter of the base width, a vertical
// unit an eighth of the base height, each rounded as MulDiv rounds.
// Pure arithmetic, any thread.
#include <cstdint>
#include <string_view>

namespace corvash::automation {

struct DialogBaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character cell height in pixels
};

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

// The letters whose average width gives the horizontal base unit.
inline constexpr std::string_view kBaseUnitLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// number * numerator / denominator in 64 bits, rounded half away from zero;
// -1 when denominator is 0 (as MulDiv answers).
int MulDiv(int number, int numerator, int denominator);

// Base units from the pixel width of kBaseUnitLetters and the cell height:
// x = (width / 26 + 1) / 2, the dialog manager's rounding of the average.
DialogBaseUnits BaseUnitsFromFont(int lettersWidth, int cellHeight);

// Pixel size of a font of `points` at `dotsPerInch` (the em height the
// dialog manager asks for: MulDiv(points, dpi, 72)).
int FontPixelHeight(int points, int dotsPerInch);

// MapDialogRect: x and width by base.x / 4, y and height by base.y / 8.
PixelRect MapDialogRect(DialogBaseUnits base, int x, int y, int cx, int cy);
int DialogUnitsToPixelsX(DialogBaseUnits base, int units);
int DialogUnitsToPixelsY(DialogBaseUnits base, int units);

// Top-left that centres a window of the given size on a screen
// (CenterWindow): (screen - window) / 2, truncated toward zero; negative
// when the window is larger than the screen.
struct PixelPoint {
  int x = 0, y = 0;
  bool operator==(const PixelPoint&) const = default;
};
PixelPoint CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

}  // namespace corvash::automation
