#include "desktop/image/image_checks.h"

#include "common/fixed_text.h"
#include "desktop/image/image_header.h"

namespace corvash::image {

using common::EqualsNoCase;
using common::TextOf;

ImageOutcome CheckVariant(const session::ChosenImage& image, const session::HandheldIdentity& handheld) {
  return EqualsNoCase(TextOf(handheld.deviceVariant), TextOf(image.imageVariant)) ? ImageOutcome::kOk
                                                                                   : ImageOutcome::kVariantMismatch;
}

ImageOutcome CheckStoredImage(session::ChosenImage& image, const session::HandheldIdentity& handheld) {
  if (TextOf(image.imagePath).empty()) return ImageOutcome::kNoStoredImage;
  const std::string path(TextOf(image.imagePath));
  if (const ImageOutcome read = ReadImageHeader(path, image); read != ImageOutcome::kOk) return read;
  const bool sameModel = EqualsNoCase(TextOf(handheld.deviceModel), TextOf(image.imageModel));
  const bool sameLanguage = EqualsNoCase(TextOf(handheld.deviceLangCode), TextOf(image.imageLangCode));
  if (sameModel && sameLanguage) return ImageOutcome::kOk;
  return sameModel ? ImageOutcome::kLanguageMismatch : ImageOutcome::kModelMismatch;
}

}  // namespace corvash::image
