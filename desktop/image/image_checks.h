#pragma once
#include "desktop/session/page_ids.h"
// Compatibility rules between the image header in the session and the
// handheld's identity.
//
// CheckVariant() -> 1 when deviceVariant equals imageVariant (without regard
//   to case), else 0. No screen. The version texts are never compared.
//
// CheckStoredImage() -> 1 when the header of imagePath names the handheld's
//   model and language code (deviceModel/imageModel and
//   deviceLangCode/imageLangCode, without regard to case). 0:
//   - at once, without a screen, when imagePath is empty;
//   - when the header cannot be read (ReadImageHeader has reported, or stayed
//     silent for a vanished stored image); the main window is closed;
//   - without a screen when recoveryMode is set and the image does not fit;
//   - otherwise languageMismatch (models equal) or modelMismatch is set,
//     FEHLER 100 (dialog 123) is shown and the main window closed.
//   Any thread.
#include <cstdint>

namespace corvash::image {

// Dialog of FEHLER 100 (incompatible image).
inline constexpr int kIncompatibleImageDialog = pages::kScreenIncompatibleImage;

uint32_t CheckVariant();
uint32_t CheckStoredImage();

}  // namespace corvash::image
