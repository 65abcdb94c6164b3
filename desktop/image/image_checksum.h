#pragma once
// Checking the image at imagePath against its header's checksum.
//
// VerifyImageChecksum(image, wait) -> kOk when the sum of the file at
//   imagePath equals the value of imageChecksumText (as ReadImageHeader left
//   it). `wait` is shown while the file is summed, through one 256 KiB
//   buffer. kNotFound or kNotOpened when the file cannot be opened (before
//   anything is shown); kChecksumMismatch for a different sum, a read error
//   during the pass, or a checksum field that is empty or holds anything but
//   hexadecimal digits. No screen of its own; any thread.
#include "common/rom_image_format.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/update_session.h"

namespace corvash::image {

// What the user sees while a long check runs (the wizard's wait box).
class WaitIndicator {
 public:
  virtual ~WaitIndicator() = default;
  virtual void Show() = 0;
  virtual void Close() = 0;
};

ImageOutcome VerifyImageChecksum(const session::ChosenImage& image, WaitIndicator& wait);

}  // namespace corvash::image
