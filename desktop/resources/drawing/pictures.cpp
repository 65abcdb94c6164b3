#include "desktop/resources/drawing/pictures.h"

#include "desktop/resources/drawing/bmp_file.h"
#include "desktop/resources/drawing/canvas.h"

namespace corvash::resources::drawing {
namespace {

// 8-bit palette of the product picture: the sixteen standard colours, a
// grey ramp for the case and a blue ramp for the screen.
constexpr uint8_t kGreyRamp = 16;   // 64 steps, dark to light
constexpr uint8_t kBlueRamp = 80;   // 64 steps, deep to light blue
constexpr int kRampSteps = 64;

Palette ProductPalette() {
  Palette palette = VgaPalette();
  for (int i = 0; i < kRampSteps; ++i) {
    const auto grey = static_cast<uint8_t>(60 + i * 3);
    palette.push_back({grey, grey, grey});
  }
  for (int i = 0; i < kRampSteps; ++i)
    palette.push_back({static_cast<uint8_t>(10 + i * 2), static_cast<uint8_t>(30 + i * 2), static_cast<uint8_t>(90 + i * 2)});
  palette.resize(256, Rgb{0, 0, 0});
  return palette;
}

uint8_t Ramp(uint8_t ramp, int step) {
  if (step < 0) step = 0;
  if (step >= kRampSteps) step = kRampSteps - 1;
  return static_cast<uint8_t>(ramp + step);
}

// A reset stylus: a long grey shaft from (x0, y0) to its black tip at (x1, y1).
void Stylus(Canvas& canvas, int x0, int y0, int x1, int y1, int thickness) {
  canvas.Line(x0, y0, x1, y1, thickness + 2, kBlack);
  canvas.Line(x0, y0, x1, y1, thickness, kSilver);
  canvas.FillCircle(x1, y1, thickness / 2 + 1, kBlack);
}

// A round device button with its number.
void NumberedButton(Canvas& canvas, int cx, int cy, char number) {
  canvas.FillCircle(cx, cy, 10, kBlack);
  canvas.FillCircle(cx, cy, 9, kNavy);
  canvas.CentredText(cx + 1, cy - 3, std::string(1, number), kWhite);
}

}  // namespace

std::vector<uint8_t> StylusResetBitmap() {
  Canvas canvas(120, 75, kWhite);
  canvas.Text(4, 4, "Normaler Reset", kBlack);
  // The lower edge of the handheld, the reset opening in its side.
  canvas.FillRoundRect(69, 19, 119, 74, 7, kBlack);
  canvas.FillRoundRect(70, 20, 118, 73, 6, kSilver);
  canvas.FillRect(76, 26, 118, 56, kTeal);
  canvas.FillCircle(74, 62, 3, kBlack);
  Stylus(canvas, 8, 70, 70, 62, 3);
  canvas.Line(48, 16, 70, 58, 1, kRed);  // pointer from the label to the opening
  return EncodeBmp(canvas, VgaPalette(), 4);
}

std::vector<uint8_t> ButtonsBitmap() {
  Canvas canvas(240, 320, kWhite);
  // Case, screen and the power switch on the top edge.
  canvas.FillRoundRect(62, 42, 182, 306, 14, kBlack);
  canvas.FillRoundRect(64, 44, 180, 304, 12, kSilver);
  canvas.FillRect(76, 70, 168, 200, kBlack);
  canvas.FillRect(78, 72, 166, 198, kTeal);
  canvas.CentredText(122, 126, "Quor", kWhite, 2);
  canvas.FillRect(146, 36, 170, 43, kRed);
  canvas.Text(138, 8, "Ein-/Aus-", kBlack);
  canvas.Text(138, 18, "Schalter", kBlack);
  canvas.Line(158, 27, 158, 35, 1, kBlack);
  // The four application buttons and the cursor pad between them.
  NumberedButton(canvas, 84, 230, '1');
  NumberedButton(canvas, 84, 264, '2');
  NumberedButton(canvas, 160, 230, '3');
  NumberedButton(canvas, 160, 264, '4');
  canvas.FillCircle(122, 247, 16, kBlack);
  canvas.FillCircle(122, 247, 15, kGrey);
  canvas.FillCircle(122, 247, 5, kSilver);
  // The reset opening on the lower left side, with the stylus in it.
  canvas.FillCircle(64, 290, 3, kBlack);
  Stylus(canvas, 6, 250, 62, 289, 3);
  canvas.Text(4, 310, "Normaler Reset", kBlack);
  return EncodeBmp(canvas, VgaPalette(), 4);
}

std::vector<uint8_t> ProductBitmap() {
  Canvas canvas(240, 320, kWhite);
  // Shadow, then the case shaded from light (top) to darker (bottom).
  canvas.FillRoundRect(40, 16, 214, 316, 22, Ramp(kGreyRamp, 50));
  canvas.FillRoundRect(30, 8, 206, 308, 22, kBlack);
  for (int y = 10; y < 306; ++y) {
    const uint8_t shade = Ramp(kGreyRamp, 58 - (y - 10) * 30 / 296);
    for (int x = 32; x < 204; ++x) {
      const int dx = x < 54 ? 54 - x : (x > 181 ? x - 181 : 0);
      const int dy = y < 30 ? 30 - y : (y > 285 ? y - 285 : 0);
      if (dx * dx + dy * dy <= 22 * 22) canvas.Set(x, y, shade);
    }
  }
  canvas.CentredText(118, 20, "Quor", kBlack, 2);
  canvas.FillRect(100, 40, 136, 42, Ramp(kGreyRamp, 10));  // speaker slot
  // The screen: a frame and a blue gradient with the start bar.
  canvas.FillRect(46, 50, 190, 232, kBlack);
  for (int y = 52; y < 230; ++y) canvas.FillRect(48, y, 188, y + 1, Ramp(kBlueRamp, 63 - (y - 52) * 63 / 178));
  canvas.FillRect(48, 52, 188, 64, kNavy);
  canvas.Text(52, 55, "Start", kWhite);
  canvas.Text(158, 55, "9:41", kWhite);
  canvas.CentredText(118, 110, "Quor", kWhite, 3);
  canvas.CentredText(118, 140, "Pocket PC", kWhite, 1);
  canvas.CentredText(118, 200, "K5210", kWhite, 1);
  // Application buttons and the cursor pad.
  for (const int x : {58, 84, 152, 178}) {
    canvas.FillCircle(x, 262, 11, kBlack);
    canvas.FillCircle(x, 262, 9, Ramp(kGreyRamp, 20));
  }
  canvas.FillCircle(118, 262, 19, kBlack);
  canvas.FillCircle(118, 262, 17, Ramp(kGreyRamp, 28));
  canvas.FillCircle(118, 262, 6, Ramp(kGreyRamp, 44));
  // Power switch and stylus in its slot.
  canvas.FillRect(170, 4, 190, 9, kRed);
  canvas.FillRect(196, 20, 202, 120, Ramp(kGreyRamp, 12));
  return EncodeBmp(canvas, ProductPalette(), 8);
}

std::vector<uint8_t> ProgramIcon() {
  std::vector<Canvas> images;
  for (const int size : {32, 16}) {
    const int u = size / 16;  // one sixteenth of the icon
    Canvas canvas(size, size, kFuchsia);  // fuchsia marks what the mask leaves out
    canvas.FillRoundRect(3 * u, 0, 13 * u, 16 * u, u * 2, kBlack);
    canvas.FillRoundRect(3 * u + 1, 1, 13 * u - 1, 16 * u - 1, u * 2 - 1, kSilver);
    canvas.FillRect(4 * u, 2 * u, 12 * u, 11 * u, kNavy);
    // A downward arrow on the screen: a new ROM going onto the handheld.
    canvas.FillRect(7 * u, 3 * u, 9 * u, 7 * u, kLime);
    for (int i = 0; i < 3 * u; ++i) canvas.FillRect(5 * u + i, 7 * u + i, 11 * u - i, 7 * u + i + 1, kLime);
    canvas.FillCircle(8 * u, 13 * u + u / 2, u, kGrey);
    images.push_back(canvas);
  }
  return EncodeIco(images, kFuchsia);
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> AllPictures() {
  return {{"bitmaps/157.bmp", StylusResetBitmap()},
          {"bitmaps/169.bmp", ButtonsBitmap()},
          {"bitmaps/171.bmp", ProductBitmap()},
          {"bitmaps/150.ico", ProgramIcon()}};
}

}  // namespace corvash::resources::drawing
