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

// True when the image at imagePath may be flashed onto the device.
bool CheckImageForFlash(ImageOperations& images, handheld::RemoteSession& remote, ImageSource source);

}  // namespace corvash::driver
