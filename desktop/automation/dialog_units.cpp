#include "desktop/automation/dialog_units.h"

#include <limits>

namespace corvash::automation {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(number) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = product < 0 ? -product : product;
  const int64_t divisor = denominator < 0 ? -static_cast<int64_t>(denominator) : denominator;
  const int64_t rounded = (magnitude + divisor / 2) / divisor;
  const int64_t result = negative ? -rounded : rounded;
  if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min()) return -1;
  return static_cast<int>(result);
}

DialogBaseUnits BaseUnitsFromFont(int lettersWidth, int cellHeight) {
  return DialogBaseUnits{(lettersWidth / 26 + 1) / 2, cellHeight};
}

int FontPixelHeight(int points, int dotsPerInch) { return MulDiv(points, dotsPerInch, 72); }

int DialogUnitsToPixelsX(DialogBaseUnits base, int units) { return MulDiv(units, base.x, 4); }
int DialogUnitsToPixelsY(DialogBaseUnits base, int units) { return MulDiv(units, base.y, 8); }

PixelRect MapDialogRect(DialogBaseUnits base, int x, int y, int cx, int cy) {
  return PixelRect{DialogUnitsToPixelsX(base, x), DialogUnitsToPixelsY(base, y),
                   DialogUnitsToPixelsX(base, cx), DialogUnitsToPixelsY(base, cy)};
}

PixelPoint CentredOrigin(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  return PixelPoint{(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

}  // namespace corvash::automation
