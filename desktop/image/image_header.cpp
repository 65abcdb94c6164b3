#include "desktop/image/image_header.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "desktop/session/update_session.h"
#include "desktop/image/image_failures.h"
#include "common/image_file.h"
#include "common/image_languages.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "common/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

void ReportImageOpenFailure() {
  pages::RunPage(pages::kScreenImageNotOpened);
  session::CloseMainWindow();
}

uint32_t ReadImageHeader(std::string_view path) {
  session::UpdateSession& session = session::Session();
  ImageFile file;
  if (!file.Open(std::string(path))) {
    platform::TraceF("\r\n ReadImageHeader: cannot open %.*s (errno %d)\r\n",
                     static_cast<int>(path.size()), path.data(), file.error());
    if (file.error() == ENOENT && session.flow.recoveryMode.load() != 0) return 0;
    ReportImageOpenFailure();
    return 0;
  }
  // Missing bytes of a short file stay zero.
  std::array<uint8_t, kHeaderSize> header{};
  if (file.Read(header.data(), header.size()) < 0) header.fill(0);
  file.Close();

  const ImageHeaderFields fields = ParseImageHeader(header);
  platform::CopyText(session.image.imageModel, fields.model);
  platform::CopyText(session.image.imageVariant, fields.variant);
  platform::CopyText(session.image.imageLangCode, fields.langCode);
  platform::CopyText(session.image.imageVersion, fields.version);
  platform::CopyText(session.image.imageChecksumText, fields.checksumText);
  if (std::string_view name = ImageLanguageName(fields.langCode); !name.empty()) {
    platform::CopyText(session.image.imageLanguage, name);
  }
  return 1;
}

}  // namespace corvash::image
