#pragma once
// Checking the image at imagePath against its header's checksum.
//
// VerifyImageChecksum() -> 1 when the sum of the file at imagePath equals the
//   value of imageChecksumText (as ReadImageHeader left it); 0 otherwise. The
//   wait box is shown while the file is summed, through one 256 KiB buffer.
//   When the file cannot be opened it shows FEHLER 104 (dialog 141), closes
//   the main window and returns 0: the caller shows FEHLER 102 only while the
//   main window is still open. A read error during the pass, and a checksum
//   field that is empty or holds anything but hexadecimal digits, give 0
//   without a screen. Any thread (the screens go through the page host).
#include <cstdint>

#include "common/rom_image_format.h"

namespace corvash::image {

uint32_t VerifyImageChecksum();

}  // namespace corvash::image
