#include "desktop/app/driver/image_checks.h"

#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

using namespace pages;  // page and screen ids read as the driver's own
namespace {

using platform::EqualsNoCase;
using platform::TextOf;

bool Incompatible(std::atomic<uint32_t>& mismatchRow) {
  mismatchRow = 1;
  EndWithScreen(kScreenIncompatibleImage);
  return false;
}

bool ImageFitsFlash(ImageOperations& images, ImageSource source) {
  session::UpdateSession& session = session::Session();
  if (source == ImageSource::kChosenByUser) {
    const uint32_t bytes = images.ImageFileSize(std::string(TextOf(session.image.imagePath)));
    if (!RunOpen()) return false;  // the size could not be read; its screen was shown
    session.image.imageSizeKB = bytes >> 10;
  }
  if (session.handheld.flashSizeMB < session.image.imageSizeKB / 1024) {
    EndWithScreen(kScreenImageTooLarge);
    return false;
  }
  return true;
}

}  // namespace

bool CheckImageForFlash(ImageOperations& images, ImageSource source) {
  session::UpdateSession& session = session::Session();
  if (images.ReadImageHeader(std::string(TextOf(session.image.imagePath))) == 0) {
    // Normally its screen is up already; a silent failure still ends with one.
    EndWithScreen(kScreenImageNotOpened);
    return false;
  }
  if (images.VerifyImageChecksum() == 0) {
    EndWithScreen(kScreenChecksumError);
    return false;
  }
  if (images.CheckVariant() == 0) return Incompatible(session.flow.versionMismatch);
  if (!EqualsNoCase(TextOf(session.handheld.deviceModel), TextOf(session.image.imageModel))) {
    return Incompatible(session.flow.modelMismatch);
  }
  if (!EqualsNoCase(TextOf(session.handheld.deviceLangCode), TextOf(session.image.imageLangCode))) {
    return Incompatible(session.flow.languageMismatch);
  }
  return ImageFitsFlash(images, source);
}

}  // namespace corvash::driver
