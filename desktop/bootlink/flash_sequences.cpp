#include "desktop/bootlink/flash_sequences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/link_waits.h"
#include "common/loader_wire.h"
#include "desktop/session/worker_page.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/image/image_checks.h"
#include "desktop/image/image_discovery.h"
#include "desktop/image/image_header.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

// The longest time between two looks at flashState.
constexpr uint32_t kLookMs = 10;

session::UpdateSession& S() { return session::Session(); }

void HideProgressPage() {
  if (pages::WorkerPage* page = S().progressPage.load()) page->Hide();
}

// Replaces the image handle kept for the flash.
void KeepImageHandle(int fd) {
  const int previous = S().imageFileHandle.exchange(fd);
  if (previous >= 0) ::close(previous);
}

// Sends a load command with flashState already moved to `state`, so that
// the download it starts finds the state it belongs to. On failure the state
// goes back. The failed send has declared the link dead and armed the
// watchdog at once: the page ends with its failure result and FEHLER 113 is
// shown once, by the wizard driver.
bool SendLoad(std::string_view command, uint32_t state) {
  const uint32_t before = S().flow.flashState.exchange(state);
  if (SendString(command) == 1) {
    ArmWatchdog(WATCHDOG_PROGRESS_MS);
    return true;
  }
  S().flow.flashState.store(before);
  EndProgressPageAfterFault();
  return false;
}

void ShowIncompatible(std::atomic<uint32_t>& flag) {
  HideProgressPage();
  flag.store(1);
  pages::RunPage(image::kIncompatibleImageDialog);
  session::CloseMainWindow();
  EndProgressPageAfterFault();
}

// An image that cannot be read: FEHLER 104 over the hidden page, except for
// a vanished stored image in a recovery run.
void ShowUnreadableImage(image::ImageOutcome outcome) {
  if (outcome == image::ImageOutcome::kNotFound && S().flow.recoveryMode.load() != 0) return;
  HideProgressPage();
  pages::RunPage(pages::kScreenImageNotOpened);
  session::CloseMainWindow();
}

// What a failed stored-image check shows; a recovery run drops an image that
// does not fit without a screen.
void ShowStoredImageCheck(image::ImageOutcome outcome) {
  if (image::IsUnreadable(outcome)) {
    ShowUnreadableImage(outcome);
    session::CloseMainWindow();
    return;
  }
  if (!image::IsMismatch(outcome) || S().flow.recoveryMode.load() != 0) return;
  (outcome == image::ImageOutcome::kLanguageMismatch ? S().flow.languageMismatch : S().flow.modelMismatch) = 1;
  pages::RunPage(image::kIncompatibleImageDialog);
  session::CloseMainWindow();
}

}  // namespace

void EndProgressPageAfterFault() { ArmWatchdog(WATCHDOG_LINK_FAILED_MS); }

uint32_t GetImageBodySize() {
  const int fd = ::open(S().image.imagePath, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    DeclareLinkClosed();
    if (auto port = S().linkHandle.exchange(nullptr)) port->Close();
    pages::RunPage(pages::kScreenImageNotOpened);
    session::CloseMainWindow();
    return 0;
  }
  KeepImageHandle(fd);
  struct stat info {};
  const bool sized = ::fstat(fd, &info) == 0 && info.st_size > static_cast<off_t>(wire::IMAGE_HEADER_LENGTH) &&
                     static_cast<uint64_t>(info.st_size) - wire::IMAGE_HEADER_LENGTH <=
                         std::numeric_limits<uint32_t>::max();
  if (!sized) {
    KeepImageHandle(-1);
    platform::Trace("\nGet File size error\n");
    return 0;
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(info.st_size) - wire::IMAGE_HEADER_LENGTH);
}

void RunFlashSequence() {
  if (!PauseWhileLinkOpen(FLASH_START_PAUSE_MS)) {
    EndProgressPageAfterFault();
    return;
  }
  ArmWatchdog(WATCHDOG_LINK_WAIT_MS);
  if (!WaitForOpenPort()) {
    EndProgressPageAfterFault();
    return;
  }
  KillWatchdog();
  const uint32_t size = GetImageBodySize();
  if (size == 0) {
    EndProgressPageAfterFault();
    return;
  }
  if (!SendLoad(wire::FirstLoadCommand(size), 1)) return;
  // The download thread announces the end of the first load; the look at
  // least every 10 ms also catches a change nobody announces.
  for (;;) {
    const uint64_t seen = LinkChangeCount();
    if (S().linkClosed.load() == 1 || S().flow.flashState.load() == 3) break;
    if (S().flow.flashState.load() == 2) {
      if (!SendLoad(wire::SECOND_LOAD_COMMAND, 3)) return;
      continue;
    }
    WaitLinkChange(seen, kLookMs);
  }
  // A dead link ends the page even when whoever found it dead stopped the
  // watchdog after arming it.
  if (S().linkClosed.load() == 1) EndProgressPageAfterFault();
}

void IdentifyAndFlashThread() {
  S().image.imageSizeKB = image::FirstImageSize(S().paths) / 1024;
  OpenCommandSession();
  if (ReadDeviceIdentity() == 0) {
    CloseCommandSession();
    // A dead link has ended the page, whose failure is the report; else
    // FEHLER 116 was shown and the run ends.
    if (S().linkClosed.load() == 0) session::CloseMainWindow();
    EndProgressPageAfterFault();
    return;
  }
  CloseCommandSession();
  if (const image::ImageOutcome stored = image::CheckStoredImage(S().image, S().handheld);
      stored != image::ImageOutcome::kOk) {
    ShowStoredImageCheck(stored);
    EndProgressPageAfterFault();
    return;
  }
  if (image::CheckVariant(S().image, S().handheld) != image::ImageOutcome::kOk) {
    ShowIncompatible(S().flow.versionMismatch);
    return;
  }
  RunFlashSequence();
}

void CheckAndFlashThread() {
  if (const image::ImageOutcome header = image::ReadImageHeader(platform::TextOf(S().image.imagePath), S().image);
      header != image::ImageOutcome::kOk) {
    ShowUnreadableImage(header);
    session::CloseMainWindow();
    EndProgressPageAfterFault();
    return;
  }
  if (!platform::EqualsNoCase(platform::TextOf(S().handheld.deviceModel), platform::TextOf(S().image.imageModel))) {
    ShowIncompatible(S().flow.modelMismatch);
    return;
  }
  if (!platform::EqualsNoCase(platform::TextOf(S().handheld.deviceLangCode), platform::TextOf(S().image.imageLangCode))) {
    ShowIncompatible(S().flow.languageMismatch);
    return;
  }
  S().image.imageSizeKB = image::FirstImageSize(S().paths) / 1024;
  if (pages::WorkerPage* page = S().progressPage.load()) {
    page->SetBarRange(0, S().image.imageSizeKB * 1024);
    page->SetBarPosition(0);
    page->SetFigure(0);
  }
  if (!PauseWhileLinkOpen(RECOVERY_START_PAUSE_MS)) {
    EndProgressPageAfterFault();
    return;
  }
  RunFlashSequence();
}

}  // namespace corvash::bootlink
