#include "emulator/window/handheld_screen.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "emulator/text_screen.h"

namespace corvash::emulator::window {
namespace {

// The loader's grid in 10 x 20 cells: 300 x 400 pixels, the 240 x 320
// display at 1.25.
constexpr int kCellWidth = 10;
constexpr int kCellHeight = 20;
constexpr int kWidth = static_cast<int>(TextScreen::kColumns) * kCellWidth;
constexpr int kHeight = static_cast<int>(TextScreen::kRows) * kCellHeight;

QFont Face(const char* family, int pixels, bool bold = false) {
  QFont font(family);
  font.setStyleHint(std::string_view(family).find("Mono") != std::string_view::npos ? QFont::Monospace
                                                                                    : QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void PaintGlass(QPainter& painter, const QRect& area) {
  // A faint reflection across the top left, as on a real display.
  QLinearGradient glare(area.topLeft(), QPointF(area.center().x(), area.center().y() * 0.8));
  glare.setColorAt(0, QColor(255, 255, 255, 28));
  glare.setColorAt(1, QColor(255, 255, 255, 0));
  painter.fillRect(area, glare);
}

}  // namespace

HandheldScreen::HandheldScreen(QWidget* parent) : QWidget(parent) {
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize HandheldScreen::sizeHint() const { return {kWidth, kHeight}; }

void HandheldScreen::Show(const HandheldSnapshot& snapshot) {
  shown_ = snapshot;
  update();
}

void HandheldScreen::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  switch (shown_.mode) {
    case HandheldMode::System: PaintHome(painter); break;
    case HandheldMode::BootLoader: PaintLoader(painter); break;
    case HandheldMode::Off: PaintOff(painter); break;
  }
  PaintGlass(painter, rect());
}

void HandheldScreen::PaintHome(QPainter& painter) const {
  const QRect all = rect();
  painter.fillRect(all, QColor(0xF4, 0xF6, 0xFA));

  // Title bar: the start menu and the power source.
  const QRect title(0, 0, kWidth, 30);
  QLinearGradient bar(title.topLeft(), title.bottomLeft());
  bar.setColorAt(0, QColor(0x2B, 0x5C, 0xB8));
  bar.setColorAt(1, QColor(0x14, 0x3A, 0x86));
  painter.fillRect(title, bar);
  painter.setPen(Qt::white);
  painter.setFont(Face("Liberation Sans", 15, true));
  painter.drawText(title.adjusted(10, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, "Start");
  painter.setFont(Face("Liberation Sans", 13));
  painter.drawText(title.adjusted(0, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight,
                   shown_.power == PowerSource::Mains ? "Mains" : "Battery");

  // Today: who the handheld is and which ROM it runs.
  painter.setPen(QColor(0x14, 0x3A, 0x86));
  painter.setFont(Face("Liberation Sans", 22, true));
  painter.drawText(QRect(16, 44, kWidth - 32, 30), Qt::AlignLeft | Qt::AlignVCenter, "Quor Pocket PC");
  painter.setPen(QColor(0x55, 0x5E, 0x6E));
  painter.setFont(Face("Liberation Sans", 14));
  const QString model = QString("K5210  %1  %2  %3 MB")
                            .arg(QString::fromStdString(shown_.identity.variant),
                                 QString::fromStdString(shown_.identity.language))
                            .arg(shown_.flashMb);
  painter.drawText(QRect(16, 74, kWidth - 32, 20), Qt::AlignLeft | Qt::AlignVCenter, model);

  const QRectF card(16, 112, kWidth - 32, 116);
  QPainterPath path;
  path.addRoundedRect(card, 10, 10);
  painter.fillPath(path, Qt::white);
  painter.setPen(QPen(QColor(0xD5, 0xDB, 0xE6), 1));
  painter.drawPath(path);
  painter.setPen(QColor(0x55, 0x5E, 0x6E));
  painter.setFont(Face("Liberation Sans", 14));
  painter.drawText(card.adjusted(16, 12, -16, 0), Qt::AlignLeft | Qt::AlignTop, "ROM version");
  painter.setPen(QColor(0x10, 0x18, 0x28));
  painter.setFont(Face("Liberation Sans", 52, true));
  painter.drawText(card.adjusted(16, 30, -16, -6), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(shown_.identity.version));

  // Power and link, one line each.
  painter.setFont(Face("Liberation Sans", 15));
  const auto line = [&](int y, const QColor& dot, const QString& text) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    painter.drawEllipse(QPointF(24, y + 10), 5, 5);
    painter.setPen(QColor(0x22, 0x28, 0x34));
    painter.drawText(QRect(38, y, kWidth - 54, 20), Qt::AlignLeft | Qt::AlignVCenter, text);
  };
  const bool mains = shown_.power == PowerSource::Mains;
  line(248, mains ? QColor(0x2E, 0xA0, 0x43) : QColor(0xE0, 0x9A, 0x1E),
       mains ? "On mains power" : "On battery");
  line(276, shown_.cablePlugged ? QColor(0x2B, 0x5C, 0xB8) : QColor(0xB0, 0xB6, 0xC0),
       shown_.cablePlugged ? "Cable plugged in" : "Cable unplugged");

  // Command bar.
  const QRect bottom(0, kHeight - 28, kWidth, 28);
  painter.fillRect(bottom, QColor(0xDD, 0xE2, 0xEA));
  painter.setPen(QColor(0x55, 0x5E, 0x6E));
  painter.setFont(Face("Liberation Sans", 13));
  painter.drawText(bottom.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, "New");
  painter.drawText(bottom.adjusted(10, 0, -10, 0), Qt::AlignVCenter | Qt::AlignRight, "Today");
}

void HandheldScreen::PaintLoader(QPainter& painter) const {
  painter.fillRect(rect(), QColor(0x06, 0x08, 0x0C));
  painter.setPen(QColor(0xE8, 0xEC, 0xF2));
  painter.setFont(Face("Liberation Mono", 16, true));
  for (size_t row = 0; row < shown_.screen.size() && row < TextScreen::kRows; ++row) {
    const std::string& text = shown_.screen[row];
    for (size_t column = 0; column < text.size() && column < TextScreen::kColumns; ++column) {
      if (text[column] == ' ') continue;
      const QRect cell(static_cast<int>(column) * kCellWidth, static_cast<int>(row) * kCellHeight, kCellWidth,
                       kCellHeight);
      painter.drawText(cell, Qt::AlignCenter, QString(QChar(text[column])));
    }
  }
}

void HandheldScreen::PaintOff(QPainter& painter) const {
  QLinearGradient dark(rect().topLeft(), rect().bottomRight());
  dark.setColorAt(0, QColor(0x1A, 0x1E, 0x24));
  dark.setColorAt(1, QColor(0x08, 0x0A, 0x0D));
  painter.fillRect(rect(), dark);
}

}  // namespace corvash::emulator::window
