// The pictures and the icon that the script names: sizes, colour depths,
// and that the files in the tree are what the drawing code draws today.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "desktop/resources/drawing/pictures.h"
#include "desktop/resources/resource_script.h"

namespace corvash::resources {
namespace {

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes.at(at + i)) << (8 * i);
  return value;
}
uint16_t Read16(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<uint16_t>(bytes.at(at) | (bytes.at(at + 1) << 8));
}

struct BitmapShape {
  int width, height, bitsPerPixel;
  bool operator==(const BitmapShape&) const = default;
};

BitmapShape ShapeOf(const std::vector<uint8_t>& bmp) {
  EXPECT_GE(bmp.size(), 54u);
  if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M') return {};
  EXPECT_EQ(Read32(bmp, 2), bmp.size());
  return {static_cast<int>(Read32(bmp, 18)), static_cast<int>(Read32(bmp, 22)), Read16(bmp, 28)};
}

// Distinct palette indices used by the pixels (4 or 8 bits).
size_t ColoursUsed(const std::vector<uint8_t>& bmp) {
  const BitmapShape shape = ShapeOf(bmp);
  std::set<int> used;
  for (size_t at = Read32(bmp, 10); at < bmp.size(); ++at) {
    if (shape.bitsPerPixel == 8) {
      used.insert(bmp[at]);
    } else {
      used.insert(bmp[at] >> 4);
      used.insert(bmp[at] & 0x0F);
    }
  }
  return used.size();
}

class PicturesTest : public ::testing::Test {
 protected:
  const ResourceScript& script_ = ResourceScript::LoadDefault();
};

TEST_F(PicturesTest, BitmapsHaveTheirSizeAndDepth) {
  EXPECT_EQ(ShapeOf(script_.Bitmap(157)), (BitmapShape{120, 75, 4}));
  EXPECT_EQ(ShapeOf(script_.Bitmap(169)), (BitmapShape{240, 320, 4}));
  EXPECT_EQ(ShapeOf(script_.Bitmap(171)), (BitmapShape{240, 320, 8}));
}

TEST_F(PicturesTest, PicturesAreDrawnNotBlank) {
  EXPECT_GE(ColoursUsed(script_.Bitmap(157)), 5u);
  EXPECT_GE(ColoursUsed(script_.Bitmap(169)), 5u);
  EXPECT_GE(ColoursUsed(script_.Bitmap(171)), 40u);  // shaded case and screen
}

TEST_F(PicturesTest, IconHoldsA32And16PixelImage) {
  const std::vector<uint8_t> icon = script_.Icon(150);
  ASSERT_GE(icon.size(), 6u + 2 * 16);
  EXPECT_EQ(Read16(icon, 2), 1);  // icon, not cursor
  ASSERT_EQ(Read16(icon, 4), 2);
  EXPECT_EQ(icon[6], 32);
  EXPECT_EQ(icon[7], 32);
  EXPECT_EQ(icon[22], 16);
  for (size_t entry = 0; entry < 2; ++entry) {
    const size_t at = 6 + 16 * entry;
    EXPECT_EQ(Read16(icon, at + 6), 4) << "bits per pixel";
    EXPECT_LE(Read32(icon, at + 12) + Read32(icon, at + 8), icon.size());
  }
}

TEST_F(PicturesTest, FilesInTheTreeMatchTheDrawingCode) {
  for (const auto& [name, bytes] : drawing::AllPictures()) {
    std::vector<uint8_t> shipped;
    if (name.ends_with(".ico")) shipped = script_.Icon(150);
    else shipped = script_.Bitmap(std::stoi(name.substr(name.find('/') + 1)));
    EXPECT_TRUE(shipped == bytes) << name << " differs: run draw_resources desktop/resources";
  }
}

TEST_F(PicturesTest, AbsentPicturesAreEmpty) {
  EXPECT_TRUE(script_.Bitmap(150).empty());
  EXPECT_TRUE(script_.Bitmap(1).empty());
  EXPECT_TRUE(script_.Icon(171).empty());
}

}  // namespace
}  // namespace corvash::resources
