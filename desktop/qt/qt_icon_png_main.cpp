// corvash_icon_png ICO PNG: writes the program's icon as a PNG for the
// desktop entry (desktops read PNG, not the Windows icon format). Takes the
// largest image the icon file holds.
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: corvash_icon_png ICO PNG\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  QImage best;
  do {
    const QImage image = reader.read();
    if (!image.isNull() && image.width() > best.width()) best = image;
  } while (reader.jumpToNextImage());
  if (best.isNull() || !best.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "corvash_icon_png: cannot turn %s into %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
