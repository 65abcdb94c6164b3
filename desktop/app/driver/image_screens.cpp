#include "desktop/app/driver/image_screens.h"

#include "common/fixed_text.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

using image::ImageOutcome;

void ShowImageNotOpened() {
  session::RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow();
}

void ShowImageNotFound() {
  session::RunPage(session::kScreenImageNotFound);
  session::CloseMainWindow();
}

void ShowHeaderFailure(ImageOutcome outcome) {
  if (outcome == ImageOutcome::kNotFound && session::Session().flow.recoveryMode.load() != 0) return;
  ShowImageNotOpened();
}

void ShowStoredImageCheck(ImageOutcome outcome) {
  session::WizardFlow& flow = session::Session().flow;
  if (image::IsUnreadable(outcome)) {
    ShowHeaderFailure(outcome);
    session::CloseMainWindow();
    return;
  }
  if (!image::IsMismatch(outcome) || flow.recoveryMode.load() != 0) return;
  (outcome == ImageOutcome::kLanguageMismatch ? flow.languageMismatch : flow.modelMismatch) = 1;
  session::RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow();
}

uint32_t TakeFlashRecord(const session::FlashRecord& record) {
  if (record.imagePath) {
    session::UpdateSession& session = session::Session();
    platform::CopyText(session.image.imagePath, *record.imagePath);
    session.flow.recoveryMode = 1;
  }
  return record.pending;
}

}  // namespace corvash::driver
