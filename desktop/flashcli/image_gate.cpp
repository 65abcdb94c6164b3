#include "desktop/flashcli/image_gate.h"

#include <filesystem>
#include <system_error>

#include "common/fixed_text.h"
#include "common/flash_layout.h"
#include "common/rom_image_format.h"
#include "desktop/flashcli/exit_codes.h"
#include "desktop/image/image_checks.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_header.h"

namespace corvash::flashcli {
namespace {

// What the loader can hold: its addresses past its own code.
constexpr uint64_t kLargestBody = common::kFlashEnd - common::kFlashBase - common::kLoaderLength;

// The check runs without a wait box.
class NoWait final : public image::WaitIndicator {
 public:
  void Show() override {}
  void Close() override {}
};

GateResult Refuse(std::string cause) { return GateResult{kExitRefused, std::move(cause), 0}; }
GateResult Unusable(std::string cause) { return GateResult{kExitUsage, std::move(cause), 0}; }

}  // namespace

GateResult CheckImageFile(const std::string& path, session::ChosenImage& image) {
  std::error_code error;
  const std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
  if (error || absolute.size() >= sizeof image.imagePath) return Unusable("cannot use the image path " + path);
  common::CopyText(image.imagePath, absolute);
  if (image::IsUnreadable(image::ReadImageHeader(absolute, image))) return Unusable("cannot read the image " + path);
  const uint64_t size = std::filesystem::file_size(absolute, error);
  if (error) return Unusable("cannot size the image " + path);
  if (size <= common::kHeaderSize) return Refuse("the image " + path + " holds no ROM after its header");
  const uint64_t body = size - common::kHeaderSize;
  if (body > kLargestBody) return Refuse("the image " + path + " is larger than the handheld's flash");
  image.imageSizeKB = static_cast<uint32_t>(size / 1024);
  NoWait noWait;
  const image::ImageOutcome sum = image::VerifyImageChecksum(image, noWait);
  if (image::IsUnreadable(sum)) return Unusable("cannot read the image " + path);
  if (sum != image::ImageOutcome::kOk) return Refuse("the checksum of " + path + " does not match its header");
  return GateResult{kExitDone, "", body};
}

GateResult CheckAgainstHandheld(session::ChosenImage& image, const session::HandheldIdentity& handheld) {
  const std::string imageText = std::string(common::TextOf(image.imageModel)) + " " +
                                std::string(common::TextOf(image.imageVariant)) + " " +
                                std::string(common::TextOf(image.imageLangCode));
  const std::string deviceText = std::string(common::TextOf(handheld.deviceModel)) + " " +
                                 std::string(common::TextOf(handheld.deviceVariant)) + " " +
                                 std::string(common::TextOf(handheld.deviceLangCode));
  const std::string mismatch = "the image (" + imageText + ") does not fit the handheld (" + deviceText + "): ";
  switch (image::CheckStoredImage(image, handheld)) {
    case image::ImageOutcome::kOk: break;
    case image::ImageOutcome::kLanguageMismatch: return Refuse(mismatch + "language differs");
    case image::ImageOutcome::kModelMismatch: return Refuse(mismatch + "model differs");
    default: return Unusable("cannot read the image " + std::string(common::TextOf(image.imagePath)));
  }
  if (image::CheckVariant(image, handheld) != image::ImageOutcome::kOk) return Refuse(mismatch + "variant differs");
  return GateResult{kExitDone, "", 0};
}

}  // namespace corvash::flashcli
