// The ROM image file as it arrives from outside: the header's fields and
// checksum text, the checksum over blocks, and ReadImageHeader over a real
// file. Input: the bytes of a whole image file (a header, maybe a payload).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "common/fixed_text.h"
#include "common/rom_image_format.h"
#include "desktop/image/image_header.h"
#include "desktop/session/update_session.h"

namespace {

using namespace corvash;
using namespace corvash::image;
using namespace corvash::common;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

bool WithinSlot(const std::string& field, size_t length) {
  return field.size() <= length && field.find('\0') == std::string::npos;
}

// Fields that fill their slots are laid down again and read back the same.
void CheckFormatRoundTrip(const ImageHeaderFields& fields) {
  const auto checksum = ParseChecksumText(fields.checksumText);
  if (!checksum) return;
  const auto header = FormatImageHeader(fields.model, fields.variant, fields.langCode, fields.version, *checksum);
  const bool fills = fields.model.size() == kModelLength && fields.variant.size() == kVariantLength &&
                     fields.langCode.size() == kLangCodeLength && fields.version.size() == kVersionLength;
  Require(header.has_value() == fills, "FormatImageHeader takes exactly the full fields");
  if (!header) return;
  const ImageHeaderFields again =
      ParseImageHeader(std::span(reinterpret_cast<const uint8_t*>(header->data()), header->size()));
  Require(again.model == fields.model && again.variant == fields.variant && again.langCode == fields.langCode &&
              again.version == fields.version,
          "a formatted header reads back its fields");
  Require(ParseChecksumText(again.checksumText) == checksum, "a formatted header reads back its checksum");
}

// The sum does not depend on how the file is cut into blocks.
void CheckBlockSums(std::span<const uint8_t> file) {
  const uint32_t whole = AddImageBlockToSum(0, 0, file) & 0xFFFF;
  const size_t cut = file.empty() ? 0 : file[0] % (file.size() + 1);
  uint32_t pieces = AddImageBlockToSum(0, 0, file.first(cut));
  pieces = AddImageBlockToSum(pieces, cut, file.subspan(cut)) & 0xFFFF;
  Require(whole == pieces, "the checksum is the same over any block cut");
}

// An in-memory file that the readers open by path, so that no disk is touched.
const std::string& ScratchPath() {
  static const std::string path = [] {
    const int fd = ::memfd_create("corvash-image-fuzz", MFD_CLOEXEC);
    Require(fd >= 0, "an in-memory file for the image");
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

void WriteScratch(std::span<const uint8_t> file) {
  const int fd = std::stoi(ScratchPath().substr(std::string_view("/proc/self/fd/").size()));
  Require(::ftruncate(fd, 0) == 0, "the in-memory file is emptied");
  size_t done = 0;
  while (done < file.size()) {
    const ssize_t n = ::pwrite(fd, file.data() + done, file.size() - done, static_cast<off_t>(done));
    Require(n > 0, "the in-memory file is written");
    done += static_cast<size_t>(n);
  }
}

// The desktop's own reader over a real file: the session fields are the
// parsed fields cut to their capacity, and the file's sum is the block sum.
void CheckFileReaders(std::span<const uint8_t> file, const ImageHeaderFields& fields) {
  WriteScratch(file);
  session::ChosenImage image;
  Require(ReadImageHeader(ScratchPath(), image) == ImageOutcome::kOk, "ReadImageHeader reads an existing file");
  Require(fields.model.starts_with(common::TextOf(image.imageModel)), "imageModel is the model field");
  Require(fields.variant.starts_with(common::TextOf(image.imageVariant)), "imageVariant is the variant field");
  Require(fields.langCode.starts_with(common::TextOf(image.imageLangCode)), "imageLangCode is the language field");
  Require(fields.version.starts_with(common::TextOf(image.imageVersion)), "imageVersion is the version field");
  Require(fields.checksumText.starts_with(common::TextOf(image.imageChecksumText)),
          "imageChecksumText is the checksum text");

  const ImageChecksum sum = ComputeImageChecksum(ScratchPath());
  Require(sum.readable && sum.fileSize == file.size(), "the whole file is summed");
  Require(sum.sum == (AddImageBlockToSum(0, 0, file) & 0xFFFF), "the file's sum is its block sum");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  const ImageHeaderFields fields = ParseImageHeader(file);
  Require(WithinSlot(fields.model, kModelLength) && WithinSlot(fields.variant, kVariantLength) &&
              WithinSlot(fields.langCode, kLangCodeLength) && WithinSlot(fields.version, kVersionLength) &&
              WithinSlot(fields.checksumText, kChecksumMaxLength),
          "every field stays inside its slot");
  // The checksum reader takes any text, not only a header's.
  (void)ParseChecksumText(std::string_view(reinterpret_cast<const char*>(data), size));
  CheckFormatRoundTrip(fields);
  CheckBlockSums(file);
  CheckFileReaders(file, fields);
  return 0;
}
