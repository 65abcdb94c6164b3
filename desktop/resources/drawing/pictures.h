#pragma once
// The program's pictures, drawn from shapes and the small font:
//  157  the stylus reset, labelled "Normaler Reset" (120 x 75, 4 bpp)
//  169  the handheld's buttons numbered 1 to 4, the power switch and the
//       stylus reset, labelled (240 x 320, 4 bpp)
//  171  the product picture (240 x 320, 8 bpp)
//  150  the program icon (32 x 32 and 16 x 16, 4 bpp)
// Each function returns the complete file (.bmp or .ico).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvash::resources::drawing {

std::vector<uint8_t> StylusResetBitmap();   // 157
std::vector<uint8_t> ButtonsBitmap();       // 169
std::vector<uint8_t> ProductBitmap();       // 171
std::vector<uint8_t> ProgramIcon();         // 150

// Every picture with the file name under which corvash.rc names it.
std::vector<std::pair<std::string, std::vector<uint8_t>>> AllPictures();

}  // namespace corvash::resources::drawing
