#pragma once
// The look that every page shares: the dialog font and its base units, the
// heading and bold fonts, the red warning colours and the two pictures.
// GUI thread only (fonts and images need the application).
#include <QColor>
#include <QFont>
#include <QImage>
#include <string>

#include "desktop/automation/dialog_units.h"
#include "desktop/pages/page_dialog.h"
#include "desktop/session/page_ids.h"

class QWidget;

namespace corvash::resources {
class ResourceScript;
}

namespace corvash::qt {

// Pages are laid out for 96 dots per inch, whatever the screen reports, so
// that a page looks the same on every display and offscreen.
inline constexpr int kDialogDotsPerInch = 96;
inline constexpr int kPictureLeft = 10;
inline constexpr int kPictureTop = 10;
// Cell height and weight of the heading font (CreateTitleFont).
inline constexpr int kTitleFontCellHeight = 17;
inline constexpr int kTitleFontWeight = 900;

// The template's font: `family` at `points`, as the dialog manager asks for
// it (em height MulDiv(points, 96, 72) pixels). An empty family means "Arial".
QFont DialogFont(const std::string& family, int points);
// Base units of `font`: the average width of the Latin letters and the
// font's cell height.
automation::DialogBaseUnits MeasureBaseUnits(const QFont& font);
// CreateTitleFont: "Arial", cell height 17 pixels, weight 900, the rest as
// `pageFont` has it.
QFont CreateTitleFont(const QFont& pageFont);
// The page font re-created with weight 700.
QFont CreateBoldFont(const QFont& pageFont);

// The system colour with index 0 (the scroll-bar colour): the text
// background of warning lines and the colour of their brush.
QColor HighlightColour();
// Red text on the highlight colour (warning lines), the default text on a
// red background (mismatch rows), or the page's default colours.
void ApplyColouring(QWidget& control, pages::Colouring colouring);

// Bitmap `id` of the resources; a null image when the script lacks it.
QImage LoadBitmap(const resources::ResourceScript& script, int id);
int PictureBitmapId(pages::Picture picture);  // 0 for Picture::kNone

}  // namespace corvash::qt
