#pragma once
// The screens and flags that the outcomes of the image operations and the
// flash settings ask the driver for.
#include <cstdint>

#include "desktop/app/driver/wizard_operations.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/flash_settings.h"

namespace corvash::driver {

// FEHLER 104, then the main window closes.
void ShowImageNotOpened(const WizardContext& w);
// FEHLER 103, then the main window closes.
void ShowImageNotFound(const WizardContext& w);
// After a header read that failed: FEHLER 104 as ShowImageNotOpened, except
// for a vanished file (kNotFound) while recoveryMode is set, which is dropped
// without a screen.
void ShowHeaderFailure(const WizardContext& w, image::ImageOutcome outcome);
// After CheckStoredImage: nothing for kOk and kNoStoredImage; a header that
// cannot be read shows as ShowHeaderFailure and closes the main window; an
// image that does not fit shows nothing while recoveryMode is set, else sets
// languageMismatch or modelMismatch and shows FEHLER 100 (window closed).
void ShowStoredImageCheck(const WizardContext& w, image::ImageOutcome outcome);
// Takes a stored image path as the run's imagePath with recoveryMode set;
// returns the record's pending flag.
uint32_t TakeFlashRecord(session::UpdateSession& run, const session::FlashRecord& record);

}  // namespace corvash::driver
