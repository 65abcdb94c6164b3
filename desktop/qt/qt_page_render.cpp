#include "desktop/qt/qt_page_render.h"

#include <QDialog>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include "desktop/qt/qt_page.h"

namespace corvash::qt {
namespace {

constexpr int kBorder = 3;
constexpr int kTitleHeight = 18;

void DrawTitleBar(QPainter& painter, const QRect& bar, const QString& caption) {
  QLinearGradient gradient(bar.topLeft(), bar.topRight());
  gradient.setColorAt(0, QColor(10, 36, 106));
  gradient.setColorAt(1, QColor(166, 202, 240));
  painter.fillRect(bar, gradient);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(bar.adjusted(3, 0, -20, 0), Qt::AlignVCenter | Qt::AlignLeft, caption);
  const QRect close(bar.right() - 16, bar.top() + 2, 14, bar.height() - 4);
  painter.fillRect(close, QColor(212, 208, 200));
  painter.setPen(Qt::black);
  painter.drawText(close, Qt::AlignCenter, QStringLiteral("x"));
}

}  // namespace

QImage RenderPage(const QtPage& page) {
  const QDialog* window = page.Window();
  if (window == nullptr) return QImage();
  const QPixmap client = const_cast<QDialog*>(window)->grab();
  const bool captioned = window->windowFlags().testFlag(Qt::WindowTitleHint);
  if (!captioned) return client.toImage();

  QImage framed(client.width() + 2 * kBorder, client.height() + 2 * kBorder + kTitleHeight, QImage::Format_RGB32);
  framed.fill(QColor(212, 208, 200));
  QPainter painter(&framed);
  painter.setPen(QColor(64, 64, 64));
  painter.drawRect(framed.rect().adjusted(0, 0, -1, -1));
  DrawTitleBar(painter, QRect(kBorder, kBorder, client.width(), kTitleHeight), window->windowTitle());
  painter.drawPixmap(kBorder, kBorder + kTitleHeight, client);
  return framed;
}

}  // namespace corvash::qt
