#include "desktop/image/image_header.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/fixed_text.h"
#include "common/image_file.h"
#include "common/image_languages.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

using common::ImageFile;
using common::ImageHeaderFields;
using common::ImageLanguageName;
using common::kHeaderSize;
using common::ParseImageHeader;

ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image) {
  ImageFile file;
  if (!file.Open(std::string(path))) {
    platform::TraceF("\r\n ReadImageHeader: cannot open %.*s (errno %d)\r\n",
                     static_cast<int>(path.size()), path.data(), file.error());
    return file.error() == ENOENT ? ImageOutcome::kNotFound : ImageOutcome::kNotOpened;
  }
  // Missing bytes of a short file stay zero.
  std::array<uint8_t, kHeaderSize> header{};
  if (file.Read(header.data(), header.size()) < 0) header.fill(0);
  file.Close();

  const ImageHeaderFields fields = ParseImageHeader(header);
  common::CopyText(image.imageModel, fields.model);
  common::CopyText(image.imageVariant, fields.variant);
  common::CopyText(image.imageLangCode, fields.langCode);
  common::CopyText(image.imageVersion, fields.version);
  common::CopyText(image.imageChecksumText, fields.checksumText);
  if (std::string_view name = ImageLanguageName(fields.langCode); !name.empty()) {
    common::CopyText(image.imageLanguage, name);
  }
  return ImageOutcome::kOk;
}

}  // namespace corvash::image
