#include "desktop/qt/qt_page_style.h"

#include <QFontMetrics>
#include <QPalette>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "desktop/resources/resource_script.h"

namespace corvash::qt {

using namespace resources::ids;
using automation::BaseUnitsFromFont;
using automation::DialogBaseUnits;
using automation::FontPixelHeight;
using automation::kBaseUnitLetters;

namespace {

constexpr const char* kDefaultFace = "Arial";

}  // namespace

QFont DialogFont(const std::string& family, int points) {
  QFont font(QString::fromStdString(family.empty() ? std::string(kDefaultFace) : family));
  font.setPixelSize(std::max(1, FontPixelHeight(points > 0 ? points : 8, kDialogDotsPerInch)));
  font.setWeight(QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

DialogBaseUnits MeasureBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int lettersWidth = metrics.horizontalAdvance(QString::fromLatin1(kBaseUnitLetters.data(),
                                                                          static_cast<int>(kBaseUnitLetters.size())));
  // The cell height as the system's font engine gives it: ascent and
  // descent each rounded up to whole pixels.
  const QFontMetricsF exact(font);
  const int cellHeight = static_cast<int>(std::ceil(exact.ascent())) + static_cast<int>(std::ceil(exact.descent()));
  return BaseUnitsFromFont(lettersWidth, cellHeight);
}

QFont CreateTitleFont(const QFont& pageFont) {
  QFont title(pageFont);
  title.setFamily(QString::fromLatin1(kDefaultFace));
  title.setWeight(QFont::Black);
  // A positive height asks for the cell height: pick the em size whose cell
  // comes nearest to it.
  int best = kTitleFontCellHeight;
  int bestDistance = 1 << 20;
  for (int em = 6; em <= kTitleFontCellHeight * 2; ++em) {
    title.setPixelSize(em);
    const int distance = std::abs(QFontMetrics(title).height() - kTitleFontCellHeight);
    if (distance < bestDistance) {
      best = em;
      bestDistance = distance;
    }
  }
  title.setPixelSize(best);
  return title;
}

QFont CreateBoldFont(const QFont& pageFont) {
  QFont bold(pageFont);
  bold.setWeight(QFont::Bold);
  return bold;
}

QColor HighlightColour() { return QColor(200, 200, 200); }

void ApplyColouring(QWidget& control, pages::Colouring colouring) {
  if (colouring == pages::Colouring::kDefault) {
    control.setPalette(QPalette());
    control.setAutoFillBackground(false);
    return;
  }
  QPalette palette = control.palette();
  if (colouring == pages::Colouring::kRedText) {
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    palette.setColor(QPalette::Window, HighlightColour());
  } else {
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
  }
  control.setPalette(palette);
  control.setAutoFillBackground(true);
}

QImage LoadBitmap(const resources::ResourceScript& script, int id) {
  const std::vector<uint8_t> bytes = script.Bitmap(id);
  if (bytes.empty()) return QImage();
  return QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
}

int PictureBitmapId(pages::Picture picture) {
  switch (picture) {
    case pages::Picture::kMain: return kMainPictureBitmap;
    case pages::Picture::kButtons: return kButtonPictureBitmap;
    case pages::Picture::kNone: return 0;
  }
  return 0;
}

}  // namespace corvash::qt
