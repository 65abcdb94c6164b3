#pragma once
// The handheld's display, 240 x 320 dots drawn at 1.25: a home screen with
// the ROM version while it runs its system, the boot loader's 20 x 30 text
// screen in its loader, dark when it is off. Paints what Show() last gave it.
#include <QWidget>

#include "emulator/handheld_snapshot.h"

namespace corvash::emulator::window {

class HandheldScreen final : public QWidget {
 public:
  explicit HandheldScreen(QWidget* parent = nullptr);
  void Show(const HandheldSnapshot& snapshot);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintHome(QPainter& painter) const;
  void PaintLoader(QPainter& painter) const;
  void PaintOff(QPainter& painter) const;

  HandheldSnapshot shown_;
};

}  // namespace corvash::emulator::window
