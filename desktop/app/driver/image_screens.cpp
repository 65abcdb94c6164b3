#include "desktop/app/driver/image_screens.h"

#include "common/fixed_text.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

using image::ImageOutcome;

void ShowImageNotOpened(const WizardContext& w) {
  w.pages.RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow(w.run.flow);
}

void ShowImageNotFound(const WizardContext& w) {
  w.pages.RunPage(session::kScreenImageNotFound);
  session::CloseMainWindow(w.run.flow);
}

void ShowHeaderFailure(const WizardContext& w, ImageOutcome outcome) {
  if (outcome == ImageOutcome::kNotFound && w.run.flow.recoveryMode.load() != 0) return;
  ShowImageNotOpened(w);
}

void ShowStoredImageCheck(const WizardContext& w, ImageOutcome outcome) {
  session::WizardFlow& flow = w.run.flow;
  if (image::IsUnreadable(outcome)) {
    ShowHeaderFailure(w, outcome);
    session::CloseMainWindow(flow);
    return;
  }
  if (!image::IsMismatch(outcome) || flow.recoveryMode.load() != 0) return;
  (outcome == ImageOutcome::kLanguageMismatch ? flow.languageMismatch : flow.modelMismatch) = 1;
  w.pages.RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow(flow);
}

uint32_t TakeFlashRecord(session::UpdateSession& run, const session::FlashRecord& record) {
  if (record.imagePath) {
    common::CopyText(run.image.imagePath, *record.imagePath);
    run.flow.recoveryMode = 1;
  }
  return record.pending;
}

}  // namespace corvash::driver
