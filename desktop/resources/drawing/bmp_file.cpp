#include "desktop/resources/drawing/bmp_file.h"

#include <cstddef>

namespace corvash::resources::drawing {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

size_t RowBytes(int width, int bitsPerPixel) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel) + 31) / 32) * 4;
}

// BITMAPINFOHEADER, then the palette.
void PutInfo(std::vector<uint8_t>& out, int width, int height, int bitsPerPixel, uint32_t imageBytes,
             const Palette& palette) {
  const uint32_t colours = 1u << bitsPerPixel;
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(bitsPerPixel));
  Put32(out, 0);  // no compression
  Put32(out, imageBytes);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, colours);
  Put32(out, 0);
  for (uint32_t i = 0; i < colours; ++i) {
    const Rgb colour = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
    out.push_back(colour.b);
    out.push_back(colour.g);
    out.push_back(colour.r);
    out.push_back(0);
  }
}

// Pixel rows bottom-up, packed at 4 or 8 bits, each padded to 4 bytes.
void PutPixels(std::vector<uint8_t>& out, const Canvas& canvas, int bitsPerPixel) {
  const size_t rowBytes = RowBytes(canvas.width(), bitsPerPixel);
  for (int y = canvas.height() - 1; y >= 0; --y) {
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < canvas.width(); ++x) {
      const uint8_t index = canvas.At(x, y);
      if (bitsPerPixel == 8) {
        row[static_cast<size_t>(x)] = index;
      } else {
        const size_t at = static_cast<size_t>(x) / 2;
        row[at] = static_cast<uint8_t>(row[at] | ((index & 0x0F) << (x % 2 == 0 ? 4 : 0)));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

}  // namespace

Palette VgaPalette() {
  return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
          {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
          {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

std::vector<uint8_t> EncodeBmp(const Canvas& canvas, const Palette& palette, int bitsPerPixel) {
  const uint32_t paletteBytes = (1u << bitsPerPixel) * 4;
  const auto imageBytes = static_cast<uint32_t>(RowBytes(canvas.width(), bitsPerPixel) * static_cast<size_t>(canvas.height()));
  const uint32_t offset = 14 + 40 + paletteBytes;
  std::vector<uint8_t> out;
  out.reserve(offset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageBytes);
  Put32(out, 0);
  Put32(out, offset);
  PutInfo(out, canvas.width(), canvas.height(), bitsPerPixel, imageBytes, palette);
  PutPixels(out, canvas, bitsPerPixel);
  return out;
}

std::vector<uint8_t> EncodeIco(const std::vector<Canvas>& images, uint8_t transparent) {
  std::vector<std::vector<uint8_t>> bodies;
  for (const Canvas& image : images) {
    const size_t colourBytes = RowBytes(image.width(), 4) * static_cast<size_t>(image.height());
    const size_t maskRow = RowBytes(image.width(), 1);
    std::vector<uint8_t> body;
    // The icon's info header counts the colour image and the mask together.
    PutInfo(body, image.width(), image.height() * 2, 4, static_cast<uint32_t>(colourBytes + maskRow * static_cast<size_t>(image.height())), VgaPalette());
    Canvas colours = image;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.At(x, y) == transparent) colours.Set(x, y, kBlack);
    PutPixels(body, colours, 4);
    for (int y = image.height() - 1; y >= 0; --y) {
      std::vector<uint8_t> row(maskRow, 0);
      for (int x = 0; x < image.width(); ++x)
        if (image.At(x, y) == transparent) row[static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      body.insert(body.end(), row.begin(), row.end());
    }
    bodies.push_back(std::move(body));
  }
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(static_cast<uint8_t>(images[i].width()));
    out.push_back(static_cast<uint8_t>(images[i].height()));
    out.push_back(16);  // colours
    out.push_back(0);
    Put16(out, 1);  // planes
    Put16(out, 4);  // bits per pixel
    Put32(out, static_cast<uint32_t>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<uint32_t>(bodies[i].size());
  }
  for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace corvash::resources::drawing
