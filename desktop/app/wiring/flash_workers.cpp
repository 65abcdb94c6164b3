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

// The run a worker flashes for: its values and the host of its screens.
struct FlashRun {
  session::UpdateSession& values;
  session::PageHost& host;
};

void HideWatch(LoaderLink& link) {
  if (bootlink::FlashWatch* watch = link.Watcher()) watch->Hide();
}

// FEHLER 100 over the hidden page, with the row of `flag` marked.
void ShowIncompatible(LoaderLink& link, const FlashRun& run, std::atomic<uint32_t>& flag) {
  HideWatch(link);
  flag.store(1);
  run.host.RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow(run.values.flow);
  bootlink::EndWatchAfterFault(link);
}

// An image that cannot be read: FEHLER 104 over the hidden page, except for
// a vanished stored image in a recovery run.
void ShowUnreadableImage(LoaderLink& link, const FlashRun& run, image::ImageOutcome outcome) {
  if (outcome == image::ImageOutcome::kNotFound && run.values.flow.recoveryMode.load() != 0) return;
  HideWatch(link);
  run.host.RunPage(session::kScreenImageNotOpened);
  session::CloseMainWindow(run.values.flow);
}

// What a failed stored-image check shows; a recovery run drops an image that
// does not fit without a screen.
void ShowStoredImageCheck(LoaderLink& link, const FlashRun& run, image::ImageOutcome outcome) {
  session::WizardFlow& flow = run.values.flow;
  if (image::IsUnreadable(outcome)) {
    ShowUnreadableImage(link, run, outcome);
    session::CloseMainWindow(flow);
    return;
  }
  if (!image::IsMismatch(outcome) || flow.recoveryMode.load() != 0) return;
  (outcome == image::ImageOutcome::kLanguageMismatch ? flow.languageMismatch : flow.modelMismatch) = 1;
  run.host.RunPage(session::kScreenIncompatibleImage);
  session::CloseMainWindow(flow);
}

// The two loads; a failure shows its screen (an image that cannot be opened:
// FEHLER 104) before the page ends.
void Flash(LoaderLink& link, const FlashRun& run) {
  const bootlink::FlashOutcome outcome = bootlink::RunFlashSequence(link, common::TextOf(run.values.image.imagePath));
  if (outcome == bootlink::FlashOutcome::kLoadsSent) return;
  if (outcome == bootlink::FlashOutcome::kImageNotOpened) {
    run.host.RunPage(session::kScreenImageNotOpened);
    session::CloseMainWindow(run.values.flow);
  }
  bootlink::EndWatchAfterFault(link);
}

}  // namespace

void IdentifyAndFlashThread(LoaderLink& link, session::UpdateSession& run, session::PageHost& pages) {
  const FlashRun page{run, pages};
  run.image.imageSizeKB = image::FirstImageSize(run.paths) / 1024;
  bootlink::OpenCommandSession(link);
  const bootlink::IdentityOutcome identity = bootlink::ReadDeviceIdentity(link, run.handheld);
  if (identity != bootlink::IdentityOutcome::kRead) {
    if (identity == bootlink::IdentityOutcome::kFailed) page.host.RunPage(session::kScreenIdentityReadError);
    bootlink::CloseCommandSession(link);
    // A dead link has ended the page, whose failure is the report; else
    // FEHLER 116 was shown and the run ends.
    if (link.linkClosed.load() == 0) session::CloseMainWindow(run.flow);
    bootlink::EndWatchAfterFault(link);
    return;
  }
  bootlink::CloseCommandSession(link);
  if (const image::ImageOutcome stored = image::CheckStoredImage(run.image, run.handheld);
      stored != image::ImageOutcome::kOk) {
    ShowStoredImageCheck(link, page, stored);
    bootlink::EndWatchAfterFault(link);
    return;
  }
  if (image::CheckVariant(run.image, run.handheld) != image::ImageOutcome::kOk) {
    ShowIncompatible(link, page, run.flow.versionMismatch);
    return;
  }
  Flash(link, page);
}

void CheckAndFlashThread(LoaderLink& link, session::UpdateSession& run, session::PageHost& pages) {
  const FlashRun page{run, pages};
  if (const image::ImageOutcome header = image::ReadImageHeader(common::TextOf(run.image.imagePath), run.image);
      header != image::ImageOutcome::kOk) {
    ShowUnreadableImage(link, page, header);
    session::CloseMainWindow(run.flow);
    bootlink::EndWatchAfterFault(link);
    return;
  }
  if (!common::EqualsNoCase(common::TextOf(run.handheld.deviceModel), common::TextOf(run.image.imageModel))) {
    ShowIncompatible(link, page, run.flow.modelMismatch);
    return;
  }
  if (!common::EqualsNoCase(common::TextOf(run.handheld.deviceLangCode),
                            common::TextOf(run.image.imageLangCode))) {
    ShowIncompatible(link, page, run.flow.languageMismatch);
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
  Flash(link, page);
}

}  // namespace corvash::wiring
