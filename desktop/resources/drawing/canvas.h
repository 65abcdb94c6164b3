#pragma once
// A palette-indexed drawing surface with the few shapes our pictures need.
#include <cstdint>
#include <string_view>
#include <vector>

namespace corvash::resources::drawing {

class Canvas {
 public:
  Canvas(int width, int height, uint8_t background);

  int width() const { return width_; }
  int height() const { return height_; }
  uint8_t At(int x, int y) const;
  const std::vector<uint8_t>& pixels() const { return pixels_; }  // top row first

  // Shapes are clipped to the canvas; rectangles are [x0, x1) by [y0, y1).
  void Set(int x, int y, uint8_t colour);
  void FillRect(int x0, int y0, int x1, int y1, uint8_t colour);
  void FrameRect(int x0, int y0, int x1, int y1, uint8_t colour);
  void FillRoundRect(int x0, int y0, int x1, int y1, int radius, uint8_t colour);
  void FillCircle(int cx, int cy, int radius, uint8_t colour);
  void Line(int x0, int y0, int x1, int y1, int thickness, uint8_t colour);
  // Text in the 5x7 font, each font pixel drawn as scale x scale pixels.
  void Text(int x, int y, std::string_view text, uint8_t colour, int scale = 1);
  static int TextWidth(std::string_view text, int scale = 1);
  void CentredText(int centreX, int y, std::string_view text, uint8_t colour, int scale = 1);

 private:
  int width_;
  int height_;
  std::vector<uint8_t> pixels_;
};

}  // namespace corvash::resources::drawing
