#include "desktop/app/wiring/flash_workers.h"

#include <atomic>
#include <string>

#include "common/fixed_text.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/image/image_checks.h"
#include "desktop/image/image_discovery.h"
#include "desktop/image/image_header.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"

namespace corvash::wiring {
namespace {

using bootlink::LoaderLink;

void HideWatch(LoaderLink& link) {
  if (bootlink::FlashWatch* watch = link.Watcher()) watch->Hide();
}

// FEHLER 100 over the hidden page, with the row of `flag` marked.
void ShowIncompatible(LoaderLink& link, std::atomic<uint32_t>& flag) {
  HideWatch(link);
  flag.store(1);
  session::RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow();
  bootlink::EndWatchAfterFault(link);
}

// An image that cannot be read: FEHLER 104 over the hidden page, except for
// a vanished stored image in a recovery run.
void ShowUnreadableImage(LoaderLink& link, const session::WizardFlow& flow, image::ImageOutcome outcome) {
  if (outcome == image::ImageOutcome::kNotFound && flow.recoveryMode.load() != 0) return;
  HideWatch(link);
  session::RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow();
}

// What a failed stored-image check shows; a recovery run drops an image that
// does not fit without a screen.
void ShowStoredImageCheck(LoaderLink& link, session::WizardFlow& flow, image::ImageOutcome outcome) {
  if (image::IsUnreadable(outcome)) {
    ShowUnreadableImage(link, flow, outcome);
    session::CloseMainWindow();
    return;
  }
  if (!image::IsMismatch(outcome) || flow.recoveryMode.load() != 0) return;
  (outcome == image::ImageOutcome::kLanguageMismatch ? flow.languageMismatch : flow.modelMismatch) = 1;
  session::RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow();
}

// The two loads; a failure shows its screen (an image that cannot be opened:
// FEHLER 104) before the page ends.
void Flash(LoaderLink& link, std::string_view imagePath) {
  const bootlink::FlashOutcome outcome = bootlink::RunFlashSequence(link, imagePath);
  if (outcome == bootlink::FlashOutcome::kLoadsSent) return;
  if (outcome == bootlink::FlashOutcome::kImageNotOpened) {
    session::RunPage(session::kScreenImageNotOpened);
    session::CloseMainWindow();
  }
  bootlink::EndWatchAfterFault(link);
}

}  // namespace

void IdentifyAndFlashThread(LoaderLink& link, session::UpdateSession& run) {
  run.image.imageSizeKB = image::FirstImageSize(run.paths) / 1024;
  bootlink::OpenCommandSession(link);
  const bootlink::IdentityOutcome identity = bootlink::ReadDeviceIdentity(link, run.handheld);
  if (identity != bootlink::IdentityOutcome::kRead) {
    if (identity == bootlink::IdentityOutcome::kFailed) session::RunPage(session::kScreenIdentityReadError);
    bootlink::CloseCommandSession(link);
    // A dead link has ended the page, whose failure is the report; else
    // FEHLER 116 was shown and the run ends.
    if (link.linkClosed.load() == 0) session::CloseMainWindow();
    bootlink::EndWatchAfterFault(link);
    return;
  }
  bootlink::CloseCommandSession(link);
  if (const image::ImageOutcome stored = image::CheckStoredImage(run.image, run.handheld);
      stored != image::ImageOutcome::kOk) {
    ShowStoredImageCheck(link, run.flow, stored);
    bootlink::EndWatchAfterFault(link);
    return;
  }
  if (image::CheckVariant(run.image, run.handheld) != image::ImageOutcome::kOk) {
    ShowIncompatible(link, run.flow.versionMismatch);
    return;
  }
  Flash(link, platform::TextOf(run.image.imagePath));
}

void CheckAndFlashThread(LoaderLink& link, session::UpdateSession& run) {
  if (const image::ImageOutcome header = image::ReadImageHeader(platform::TextOf(run.image.imagePath), run.image);
      header != image::ImageOutcome::kOk) {
    ShowUnreadableImage(link, run.flow, header);
    session::CloseMainWindow();
    bootlink::EndWatchAfterFault(link);
    return;
  }
  if (!platform::EqualsNoCase(platform::TextOf(run.handheld.deviceModel), platform::TextOf(run.image.imageModel))) {
    ShowIncompatible(link, run.flow.modelMismatch);
    return;
  }
  if (!platform::EqualsNoCase(platform::TextOf(run.handheld.deviceLangCode),
                              platform::TextOf(run.image.imageLangCode))) {
    ShowIncompatible(link, run.flow.languageMismatch);
    return;
  }
  run.image.imageSizeKB = image::FirstImageSize(run.paths) / 1024;
  if (bootlink::FlashWatch* watch = link.Watcher()) {
    watch->SetBarRange(0, run.image.imageSizeKB * 1024);
    watch->SetBarPosition(0);
    watch->SetFigure(0);
  }
  if (!link.Pause(bootlink::RECOVERY_START_PAUSE_MS)) {
    bootlink::EndWatchAfterFault(link);
    return;
  }
  Flash(link, platform::TextOf(run.image.imagePath));
}

}  // namespace corvash::wiring
