#include "desktop/app/driver/image_checks.h"

#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

using common::EqualsNoCase;
using common::TextOf;
using image::ImageOutcome;

bool Incompatible(const WizardContext& w, std::atomic<uint32_t>& mismatchRow) {
  mismatchRow = 1;
  EndWithScreen(w, kScreenIncompatibleImage);
  return false;
}

bool ImageFitsFlash(const WizardContext& w, ImageSource source) {
  session::UpdateSession& session = w.run;
  if (source == ImageSource::kChosenByUser) {
    const std::optional<uint32_t> bytes = w.ops.images.ImageFileSize(std::string(TextOf(session.image.imagePath)));
    if (!bytes) {
      EndRemoteApi(w.ops.remote);
      ShowImageNotOpened(w);
      return false;
    }
    if (!RunOpen(session.flow)) return false;
    session.image.imageSizeKB = *bytes >> 10;
  }
  if (session.handheld.flashSizeMB < session.image.imageSizeKB / 1024) {
    EndWithScreen(w, kScreenImageTooLarge);
    return false;
  }
  return true;
}

}  // namespace

bool CheckImageForFlash(const WizardContext& w, ImageSource source) {
  session::UpdateSession& session = w.run;
  ImageOperations& images = w.ops.images;
  const ImageOutcome header = images.ReadImageHeader(std::string(TextOf(session.image.imagePath)), session.image);
  if (header != ImageOutcome::kOk) {
    ShowHeaderFailure(w, header);
    // A silent failure (a vanished stored image) still ends with the screen.
    EndWithScreen(w, kScreenImageNotOpened);
    return false;
  }
  const ImageOutcome sum = images.VerifyImageChecksum(session.image);
  if (sum != ImageOutcome::kOk) {
    if (image::IsUnreadable(sum)) ShowImageNotOpened(w);
    EndWithScreen(w, kScreenChecksumError);  // only while the run is still open
    return false;
  }
  if (images.CheckVariant(session.image, session.handheld) != ImageOutcome::kOk) {
    return Incompatible(w, session.flow.versionMismatch);
  }
  if (!EqualsNoCase(TextOf(session.handheld.deviceModel), TextOf(session.image.imageModel))) {
    return Incompatible(w, session.flow.modelMismatch);
  }
  if (!EqualsNoCase(TextOf(session.handheld.deviceLangCode), TextOf(session.image.imageLangCode))) {
    return Incompatible(w, session.flow.languageMismatch);
  }
  return ImageFitsFlash(w, source);
}

}  // namespace corvash::driver
