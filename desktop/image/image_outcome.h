#pragma once
// What an image operation learnt, named for what its caller must show. The
// image operations never open a screen or end the run themselves: the wizard
// driver and the flash workers map an outcome to its screen and flags.
#include "desktop/session/page_ids.h"

namespace corvash::image {

enum class ImageOutcome {
  kOk,
  kNotOpened,         // the file exists but cannot be opened or sized: FEHLER 104
  kNotFound,          // the file does not exist: FEHLER 104, except where a
                      // recovery run drops a vanished stored image silently
  kChecksumMismatch,  // FEHLER 102 (also a read error while summing, or a
                      // checksum field that holds no hexadecimal number)
  kVariantMismatch,   // FEHLER 100 with versionMismatch
  kModelMismatch,     // FEHLER 100 with modelMismatch
  kLanguageMismatch,  // FEHLER 100 with languageMismatch (the models agree)
  kNoImage,           // no image beside the program: FEHLER 103
  kNoStoredImage,     // no image path to check: nothing to show
  kCancelled,         // the user cancelled a chooser: nothing to show
  kNoSpace,           // the backup target's file system is too small: FEHLER 107
};

// Whether the file could not be read at all (FEHLER 104 unless the caller
// drops a vanished stored image).
inline bool IsUnreadable(ImageOutcome outcome) {
  return outcome == ImageOutcome::kNotOpened || outcome == ImageOutcome::kNotFound;
}

// Whether the image does not fit the handheld (FEHLER 100).
inline bool IsMismatch(ImageOutcome outcome) {
  return outcome == ImageOutcome::kVariantMismatch || outcome == ImageOutcome::kModelMismatch ||
         outcome == ImageOutcome::kLanguageMismatch;
}

}  // namespace corvash::image
