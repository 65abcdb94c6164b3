#include "desktop/image/image_checksum.h"

#include <cstring>
#include <vector>

#include "desktop/session/update_session.h"
#include "desktop/image/image_failures.h"
#include "common/image_file.h"
#include "desktop/image/image_header.h"
#include "desktop/session/page_host.h"
#include "common/byte_sum.h"
#include "common/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

uint32_t VerifyImageChecksum() {
  session::UpdateSession& session = session::Session();
  const std::string path(platform::TextOf(session.image.imagePath));
  ImageFile file;
  if (!file.Open(path)) {
    platform::TraceF("\r\n VerifyImageChecksum: cannot open %s (errno %d)\r\n", path.c_str(), file.error());
    ReportImageOpenFailure();
    return 0;
  }
  pages::ShowWaitBox();
  const ImageChecksum checksum = SumImageFile(file);
  file.Close();
  pages::CloseWaitBox();
  if (!checksum.readable) {
    platform::TraceF("\r\n VerifyImageChecksum: read error on %s (errno %d)\r\n", path.c_str(), checksum.error);
    return 0;
  }
  const std::optional<uint16_t> stored = ParseChecksumText(platform::TextOf(session.image.imageChecksumText));
  return stored.has_value() && *stored == checksum.sum ? 1 : 0;
}

}  // namespace corvash::image
