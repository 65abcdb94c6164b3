#include "desktop/image/image_checksum.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/byte_sum.h"
#include "common/fixed_text.h"
#include "common/image_file.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

using common::ImageChecksum;
using common::ImageFile;
using common::ParseChecksumText;
using common::SumImageFile;

ImageOutcome VerifyImageChecksum(const session::ChosenImage& image, WaitIndicator& wait) {
  const std::string path(common::TextOf(image.imagePath));
  ImageFile file;
  if (!file.Open(path)) {
    platform::TraceF("\r\n VerifyImageChecksum: cannot open %s (errno %d)\r\n", path.c_str(), file.error());
    return file.error() == ENOENT ? ImageOutcome::kNotFound : ImageOutcome::kNotOpened;
  }
  wait.Show();
  const ImageChecksum checksum = SumImageFile(file);
  file.Close();
  wait.Close();
  if (!checksum.readable) {
    platform::TraceF("\r\n VerifyImageChecksum: read error on %s (errno %d)\r\n", path.c_str(), checksum.error);
    return ImageOutcome::kChecksumMismatch;
  }
  const std::optional<uint16_t> stored = ParseChecksumText(common::TextOf(image.imageChecksumText));
  return stored.has_value() && *stored == checksum.sum ? ImageOutcome::kOk : ImageOutcome::kChecksumMismatch;
}

}  // namespace corvash::image
