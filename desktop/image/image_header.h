#pragma once
// Reading an image file's header into the chosen image's fields. The file
// format itself is common/rom_image_format.h.
//
// ReadImageHeader(path, image) -> kOk when the header was read into
//   imageModel, imageVariant, imageLangCode, imageVersion, imageChecksumText
//   (and imageLanguage when the code is in the image language table); a file
//   shorter than 32 bytes reads its missing bytes as zero, so its fields come
//   out short or empty and the later checks fail. kNotFound when the file
//   does not exist, kNotOpened when it exists but cannot be opened; the image
//   fields are then left as they were. No screen. Any thread.
#include <string_view>

#include "common/rom_image_format.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/update_session.h"

namespace corvash::image {

ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image);

}  // namespace corvash::image
