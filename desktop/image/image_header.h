#pragma once
// Reading an image file's header into the session. The file format itself
// is common/rom_image_format.h.
//
// ReadImageHeader(path) -> 1 when the header was read into imageModel,
//   imageVariant, imageLangCode, imageVersion, imageChecksumText (and
//   imageLanguage when the code is in the image language table); a file
//   shorter than 32 bytes reads its missing bytes as zero, so its fields come
//   out short or empty and the later checks fail. 0 when the file cannot be
//   opened: silently when it does not exist and recoveryMode is set (a stored
//   image has vanished); otherwise the progress page (if open) is hidden,
//   FEHLER 104 (dialog 141) is shown, the main window is closed. Any thread.
#include <cstdint>
#include <string_view>

#include "common/rom_image_format.h"

namespace corvash::image {

uint32_t ReadImageHeader(std::string_view path);

}  // namespace corvash::image
