#pragma once
// Writes canvases as uncompressed Windows bitmap (.bmp) and icon (.ico) files.
#include <cstdint>
#include <vector>

#include "desktop/resources/drawing/canvas.h"

namespace corvash::resources::drawing {

struct Rgb {
  uint8_t r, g, b;
};
using Palette = std::vector<Rgb>;

// The sixteen standard colours, in the usual order (0 black ... 15 white).
enum Vga : uint8_t {
  kBlack, kMaroon, kGreen, kOlive, kNavy, kPurple, kTeal, kSilver,
  kGrey, kRed, kLime, kYellow, kBlue, kFuchsia, kAqua, kWhite,
};
Palette VgaPalette();

// A bottom-up BMP of 4 or 8 bits per pixel; the palette is padded with black
// (or cut) to 2^bitsPerPixel entries.
std::vector<uint8_t> EncodeBmp(const Canvas& canvas, const Palette& palette, int bitsPerPixel);

// An .ico of 4-bit images sharing the VGA palette; pixels of colour
// `transparent` are left out by the mask.
std::vector<uint8_t> EncodeIco(const std::vector<Canvas>& images, uint8_t transparent);

}  // namespace corvash::resources::drawing
