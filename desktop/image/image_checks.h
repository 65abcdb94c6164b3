#pragma once
#include "desktop/session/page_ids.h"
// Compatibility rules between an image's header and the handheld's identity.
//
// CheckVariant(image, handheld) -> kOk when deviceVariant equals imageVariant
//   (without regard to case), else kVariantMismatch. The version texts are
//   never compared.
//
// CheckStoredImage(image, handheld) reads the header of imagePath into
//   `image` and compares model and language code (deviceModel/imageModel and
//   deviceLangCode/imageLangCode, without regard to case):
//   - kNoStoredImage at once when imagePath is empty;
//   - kNotFound or kNotOpened when the header cannot be read;
//   - kLanguageMismatch when the models are equal and the codes are not,
//     kModelMismatch when the models differ;
//   - kOk when both fit.
//   The caller decides what a failure shows: a recovery run drops an image
//   that does not fit without a screen.
//
// No screen; any thread.
#include "desktop/image/image_outcome.h"
#include "desktop/session/update_session.h"

namespace corvash::image {

// Dialog of FEHLER 100 (incompatible image).
inline constexpr int kIncompatibleImageDialog = session::kScreenIncompatibleImage;

ImageOutcome CheckVariant(const session::ChosenImage& image, const session::HandheldIdentity& handheld);
ImageOutcome CheckStoredImage(session::ChosenImage& image, const session::HandheldIdentity& handheld);

}  // namespace corvash::image
