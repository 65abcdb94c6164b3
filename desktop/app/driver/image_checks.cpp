#include "desktop/app/driver/image_checks.h"

#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

using image::ImageOutcome;
using platform::EqualsNoCase;
using platform::TextOf;

bool Incompatible(std::atomic<uint32_t>& mismatchRow) {
  mismatchRow = 1;
  EndWithScreen(kScreenIncompatibleImage);
  return false;
}

bool ImageFitsFlash(ImageOperations& images, handheld::RemoteSession& remote, ImageSource source) {
  session::UpdateSession& session = session::Session();
  if (source == ImageSource::kChosenByUser) {
    const std::optional<uint32_t> bytes = images.ImageFileSize(std::string(TextOf(session.image.imagePath)));
    if (!bytes) {
      EndRemoteApi(remote);
      ShowImageNotOpened();
      return false;
    }
    if (!RunOpen()) return false;
    session.image.imageSizeKB = *bytes >> 10;
  }
  if (session.handheld.flashSizeMB < session.image.imageSizeKB / 1024) {
    EndWithScreen(kScreenImageTooLarge);
    return false;
  }
  return true;
}

}  // namespace

bool CheckImageForFlash(ImageOperations& images, handheld::RemoteSession& remote, ImageSource source) {
  session::UpdateSession& session = session::Session();
  const ImageOutcome header = images.ReadImageHeader(std::string(TextOf(session.image.imagePath)), session.image);
  if (header != ImageOutcome::kOk) {
    ShowHeaderFailure(header);
    // A silent failure (a vanished stored image) still ends with the screen.
    EndWithScreen(kScreenImageNotOpened);
    return false;
  }
  const ImageOutcome sum = images.VerifyImageChecksum(session.image);
  if (sum != ImageOutcome::kOk) {
    if (image::IsUnreadable(sum)) ShowImageNotOpened();
    EndWithScreen(kScreenChecksumError);  // only while the run is still open
    return false;
  }
  if (images.CheckVariant(session.image, session.handheld) != ImageOutcome::kOk) {
    return Incompatible(session.flow.versionMismatch);
  }
  if (!EqualsNoCase(TextOf(session.handheld.deviceModel), TextOf(session.image.imageModel))) {
    return Incompatible(session.flow.modelMismatch);
  }
  if (!EqualsNoCase(TextOf(session.handheld.deviceLangCode), TextOf(session.image.imageLangCode))) {
    return Incompatible(session.flow.languageMismatch);
  }
  return ImageFitsFlash(images, remote, source);
}

}  // namespace corvash::driver
