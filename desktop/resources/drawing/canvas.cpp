#include "desktop/resources/drawing/canvas.h"

#include <algorithm>
#include <cstdlib>

#include "desktop/resources/drawing/glyphs.h"

namespace corvash::resources::drawing {

Canvas::Canvas(int width, int height, uint8_t background)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), background) {}

uint8_t Canvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void Canvas::Set(int x, int y, uint8_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = colour;
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, uint8_t colour) {
  for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) Set(x, y, colour);
}

void Canvas::FrameRect(int x0, int y0, int x1, int y1, uint8_t colour) {
  FillRect(x0, y0, x1, y0 + 1, colour);
  FillRect(x0, y1 - 1, x1, y1, colour);
  FillRect(x0, y0, x0 + 1, y1, colour);
  FillRect(x1 - 1, y0, x1, y1, colour);
}

void Canvas::FillRoundRect(int x0, int y0, int x1, int y1, int radius, uint8_t colour) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      // Distance from the nearest corner centre, for the pixels in a corner square.
      const int cx = x < x0 + radius ? x0 + radius : (x >= x1 - radius ? x1 - radius - 1 : x);
      const int cy = y < y0 + radius ? y0 + radius : (y >= y1 - radius ? y1 - radius - 1 : y);
      const int dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy <= radius * radius) Set(x, y, colour);
    }
  }
}

void Canvas::FillCircle(int cx, int cy, int radius, uint8_t colour) {
  for (int y = cy - radius; y <= cy + radius; ++y)
    for (int x = cx - radius; x <= cx + radius; ++x)
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) Set(x, y, colour);
}

void Canvas::Line(int x0, int y0, int x1, int y1, int thickness, uint8_t colour) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  const int half = thickness / 2;
  while (true) {
    FillRect(x0 - half, y0 - half, x0 - half + thickness, y0 - half + thickness, colour);
    if (x0 == x1 && y0 == y1) return;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void Canvas::Text(int x, int y, std::string_view text, uint8_t colour, int scale) {
  for (const char c : text) {
    const auto rows = Glyph(c);
    for (int row = 0; row < kGlyphHeight; ++row)
      for (int column = 0; column < kGlyphWidth; ++column)
        if ((rows[static_cast<size_t>(row)] >> (kGlyphWidth - 1 - column)) & 1)
          FillRect(x + column * scale, y + row * scale, x + (column + 1) * scale, y + (row + 1) * scale, colour);
    x += kGlyphAdvance * scale;
  }
}

int Canvas::TextWidth(std::string_view text, int scale) {
  return text.empty() ? 0 : (static_cast<int>(text.size()) * kGlyphAdvance - 1) * scale;
}

void Canvas::CentredText(int centreX, int y, std::string_view text, uint8_t colour, int scale) {
  Text(centreX - TextWidth(text, scale) / 2, y, text, colour, scale);
}

}  // namespace corvash::resources::drawing
