#include "desktop/image/image_header.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "desktop/app/update_session.h"
#include "desktop/bootlink/progress_page.h"
#include "desktop/image/image_failures.h"
#include "desktop/image/image_file.h"
#include "desktop/image/image_languages.h"
#include "desktop/pages/page_host.h"
#include "desktop/platform/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

namespace {

std::string FieldText(std::span<const uint8_t> header, size_t offset, size_t length) {
  std::string text;
  for (size_t i = offset; i < offset + length && i < header.size(); ++i) {
    if (header[i] == 0) break;
    text.push_back(static_cast<char>(header[i]));
  }
  return text;
}

std::string ChecksumText(std::span<const uint8_t> header) {
  std::string text;
  for (size_t i = kChecksumOffset; i < kChecksumOffset + kChecksumMaxLength && i < header.size(); ++i) {
    if (header[i] == 0 || header[i] == static_cast<uint8_t>(kSeparator)) break;
    text.push_back(static_cast<char>(header[i]));
  }
  return text;
}

}  // namespace

ImageHeaderFields ParseImageHeader(std::span<const uint8_t> header) {
  ImageHeaderFields fields;
  fields.model = FieldText(header, kModelOffset, kModelLength);
  fields.variant = FieldText(header, kVariantOffset, kVariantLength);
  fields.langCode = FieldText(header, kLangCodeOffset, kLangCodeLength);
  fields.version = FieldText(header, kVersionOffset, kVersionLength);
  fields.checksumText = ChecksumText(header);
  return fields;
}

std::optional<std::array<char, kHeaderSize>> FormatImageHeader(std::string_view model,
                                                               std::string_view variant,
                                                               std::string_view langCode,
                                                               std::string_view version,
                                                               uint16_t checksum) {
  if (model.size() != kModelLength || variant.size() != kVariantLength ||
      langCode.size() != kLangCodeLength || version.size() != kVersionLength) {
    return std::nullopt;
  }
  std::string text;
  text.reserve(kHeaderSize);
  text.append(model).push_back(kSeparator);
  text.append(variant).push_back(kSeparator);
  text.append(langCode).push_back(kSeparator);
  text.append(version).push_back(kSeparator);
  char digits[8];
  const int n = std::snprintf(digits, sizeof digits, "%x", static_cast<unsigned>(checksum));
  text.append(digits, static_cast<size_t>(n));
  text.append(kChecksumFieldLength - static_cast<size_t>(n), kSeparator);
  std::array<char, kHeaderSize> header{};
  std::memcpy(header.data(), text.data(), kHeaderSize);
  return header;
}

void ReportImageOpenFailure() {
  if (bootlink::ProgressPage* page = app::Session().progressPage.load()) page->Hide();
  pages::RunPage(kImageOpenErrorDialog);
  app::CloseMainWindow();
}

uint32_t ReadImageHeader(std::string_view path) {
  app::UpdateSession& session = app::Session();
  ImageFile file;
  if (!file.Open(std::string(path))) {
    platform::TraceF("\r\n ReadImageHeader: cannot open %.*s (errno %d)\r\n",
                     static_cast<int>(path.size()), path.data(), file.error());
    if (file.error() == ENOENT && session.recoveryMode.load() != 0) return 0;
    ReportImageOpenFailure();
    return 0;
  }
  // Missing bytes of a short file stay zero.
  std::array<uint8_t, kHeaderSize> header{};
  if (file.Read(header.data(), header.size()) < 0) header.fill(0);
  file.Close();

  const ImageHeaderFields fields = ParseImageHeader(header);
  platform::CopyText(session.imageModel, fields.model);
  platform::CopyText(session.imageVariant, fields.variant);
  platform::CopyText(session.imageLangCode, fields.langCode);
  platform::CopyText(session.imageVersion, fields.version);
  platform::CopyText(session.imageChecksumText, fields.checksumText);
  if (std::string_view name = ImageLanguageName(fields.langCode); !name.empty()) {
    platform::CopyText(session.imageLanguage, name);
  }
  return 1;
}

}  // namespace corvash::image
