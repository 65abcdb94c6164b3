#pragma once
// The checks an image passes before an update or a restore, in order: header,
// checksum, variant, model, language, size. The first failure shows its
// screen and closes the run.
#include "desktop/app/driver/wizard_operations.h"

namespace corvash::driver {

enum class ImageSource {
  kBesideProgram,  // update: size as identification found it
  kChosenByUser,   // restore: size of imagePath
};

// True when the image at the run's imagePath may be flashed onto the device.
bool CheckImageForFlash(const WizardContext& w, ImageSource source);

}  // namespace corvash::driver
