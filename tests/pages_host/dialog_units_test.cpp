#include <gtest/gtest.h>

#include "desktop/automation/dialog_units.h"

namespace corvash::pages {

using automation::BaseUnitsFromFont;
using automation::CentredOrigin;
using automation::DialogBaseUnits;
using automation::DialogUnitsToPixelsX;
using automation::DialogUnitsToPixelsY;
using automation::FontPixelHeight;
using automation::MapDialogRect;
using automation::MulDiv;
using automation::PixelPoint;
using automation::PixelRect;

namespace {

TEST(DialogUnitsTest, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 6, 4), 15);
  EXPECT_EQ(MulDiv(5, 3, 2), 8);     // 7.5
  EXPECT_EQ(MulDiv(-5, 3, 2), -8);   // -7.5
  EXPECT_EQ(MulDiv(5, -3, 2), -8);
  EXPECT_EQ(MulDiv(7, 1, 4), 2);     // 1.75
  EXPECT_EQ(MulDiv(5, 1, 4), 1);     // 1.25
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(2000000000, 4, 4), 2000000000) << "the product must not overflow";
  EXPECT_EQ(MulDiv(2000000000, 4, 1), -1) << "a result beyond int is refused";
}

TEST(DialogUnitsTest, BaseUnitsFollowTheDialogManagersAverage) {
  // 52 letters 333 pixels wide: (333 / 26 + 1) / 2 = 6.
  EXPECT_EQ(BaseUnitsFromFont(333, 13).x, 6);
  EXPECT_EQ(BaseUnitsFromFont(333, 13).y, 13);
  EXPECT_EQ(BaseUnitsFromFont(364, 14).x, 7);  // (14 + 1) / 2
  EXPECT_EQ(FontPixelHeight(8, 96), 11);
  EXPECT_EQ(FontPixelHeight(8, 120), 13);
}

TEST(DialogUnitsTest, MapsEachCoordinateOnItsOwn) {
  const DialogBaseUnits base{6, 13};
  // The welcome page: 433 x 211 dialog units.
  EXPECT_EQ(MapDialogRect(base, 0, 0, 433, 211), (PixelRect{0, 0, 650, 343}));
  // A bullet square of 4 x 4 units at (176, 68).
  EXPECT_EQ(MapDialogRect(base, 176, 68, 4, 4), (PixelRect{264, 111, 6, 7}));
  EXPECT_EQ(DialogUnitsToPixelsX(DialogBaseUnits{7, 14}, 3), 5);  // 5.25
  EXPECT_EQ(DialogUnitsToPixelsY(DialogBaseUnits{7, 14}, 3), 5);  // 5.25
}

TEST(DialogUnitsTest, CentringTruncatesAndMayGoNegative) {
  EXPECT_EQ(CentredOrigin(1024, 768, 650, 343), (PixelPoint{187, 212}));
  EXPECT_EQ(CentredOrigin(1025, 769, 650, 344), (PixelPoint{187, 212}));
  // A page larger than the screen opens above and left of it.
  EXPECT_EQ(CentredOrigin(640, 480, 651, 500), (PixelPoint{-5, -10}));
}

}  // namespace
}  // namespace corvash::pages
