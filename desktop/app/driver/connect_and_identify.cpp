#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/app/driver/wizard_driver.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"
#include "common/clock.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

using image::ImageOutcome;

constexpr uint32_t kPauseBeforeConfirmMs = 2000;
constexpr uint32_t kPauseAroundFlashMs = 1000;

bool ImagePathEmpty(const session::ChosenImage& image) { return common::TextOf(image.imagePath).empty(); }

void ClearImagePath(session::ChosenImage& image) { common::ClearText(image.imagePath); }

// False when the header cannot be read (its screen has been shown, unless a
// vanished stored image is dropped silently).
bool ReadHeaderOfImagePath(const WizardContext& w) {
  session::ChosenImage& image = w.run.image;
  const ImageOutcome outcome = w.ops.images.ReadImageHeader(std::string(common::TextOf(image.imagePath)), image);
  if (outcome == ImageOutcome::kOk) return true;
  ShowHeaderFailure(w, outcome);
  return false;
}

// Falls back to the image beside the program. False when there is none
// (its screen has been shown).
bool TakeImageBesideProgram(const WizardContext& w) {
  if (w.ops.images.FindImageInProgramDir(w.run.paths, w.run.image) != ImageOutcome::kOk) {
    ShowImageNotFound(w);
    return false;
  }
  ReadHeaderOfImagePath(w);
  w.run.flow.recoveryMode = 0;
  return true;
}

// The image of an interrupted flash, when the settings still name one and
// its header can be read; otherwise the image beside the program. A stored
// path is checked whether or not the record says a flash is pending, so that
// a vanished stored image is always dropped here, without a screen. False
// when the run is over.
bool PickRecoveryImage(const WizardContext& w) {
  session::UpdateSession& session = w.run;
  session.flow.pendingFlash = TakeFlashRecord(session, w.ops.settings.ReadFlashSettings());
  if (session.flow.pendingFlash.load() != 0 && ImagePathEmpty(session.image)) return TakeImageBesideProgram(w);
  if (!ImagePathEmpty(session.image) && !ReadHeaderOfImagePath(w)) {
    ClearImagePath(session.image);
    session.flow.recoveryMode = 0;
  }
  return RunOpen(session.flow);
}

// Identifies the device linked through the sync software into the run's
// values, showing the screen identification names (the run then ends).
void IdentifyLinkedDevice(const WizardContext& w) {
  session::UpdateSession& session = w.run;
  const handheld::Identification found =
      w.ops.device.IdentifyDevice(common::TextOf(session.paths.programDir), session.handheld);
  if (found.answered) session.serialLink = found.serialLink ? 1 : 0;
  if (found.imageSizeKB) session.image.imageSizeKB = *found.imageSizeKB;
  if (found.screen != 0) {
    w.pages.RunPage(found.screen);
    session::CloseMainWindow(session.flow);
  }
}

enum class Verdict { kUse, kTryAnother, kFail };

// Reads the device's identity through the loader and judges imagePath
// against it. A stored image that does not fit is dropped without a screen;
// the image beside the program must fit.
Verdict JudgeImage(const WizardContext& w) {
  const WizardOperations& ops = w.ops;
  session::UpdateSession& session = w.run;
  ops.bootLink.OpenCommandSession();
  const bootlink::IdentityOutcome identity = ops.bootLink.ReadDeviceIdentity(session.handheld);
  if (identity != bootlink::IdentityOutcome::kRead) {
    if (identity == bootlink::IdentityOutcome::kFailed) w.pages.RunPage(kScreenIdentityReadError);
    w.pages.CloseWaitBox();
    ops.bootLink.CloseCommandSession();
    session::CloseMainWindow(session.flow);
    return Verdict::kFail;
  }
  ops.bootLink.CloseCommandSession();
  const ImageOutcome stored = ops.images.CheckStoredImage(session.image, session.handheld);
  if (stored != ImageOutcome::kOk) {
    ShowStoredImageCheck(w, stored);
    if (session.flow.recoveryMode.load() == 0 || !RunOpen(session.flow)) return Verdict::kFail;
    // Model or language differ: dropped whatever its variant.
    session.flow.recoveryMode = 0;
    return Verdict::kTryAnother;
  }
  if (ops.images.CheckVariant(session.image, session.handheld) != ImageOutcome::kOk) {
    if (session.flow.recoveryMode.load() != 0) return Verdict::kTryAnother;
    w.pages.CloseWaitBox();
    session.flow.versionMismatch = 1;
    EndWithScreen(w, kScreenIncompatibleImage);
    return Verdict::kFail;
  }
  return Verdict::kUse;
}

// Checks the sum of an image that fits against its header, as before any flash. A
// stored image that fails is dropped without a screen, as a misfit is; the
// image beside the program must pass (FEHLER 102).
Verdict JudgeChecksum(const WizardContext& w) {
  const image::ImageOutcome sum = w.ops.images.VerifyImageChecksum(w.run.image);
  if (sum == image::ImageOutcome::kOk) return Verdict::kUse;
  if (image::IsUnreadable(sum)) {
    ShowImageNotOpened(w);
    return Verdict::kFail;
  }
  if (w.run.flow.recoveryMode.load() != 0) {
    w.run.flow.recoveryMode = 0;
    return Verdict::kTryAnother;
  }
  w.pages.CloseWaitBox();
  EndWithScreen(w, kScreenChecksumError);
  return Verdict::kFail;
}

// Finds the image to flash; false when the run is over.
bool SettleOnImage(const WizardContext& w) {
  if (!PickRecoveryImage(w)) return false;
  for (;;) {
    if (ImagePathEmpty(w.run.image) && !TakeImageBesideProgram(w)) return false;
    if (!RunOpen(w.run.flow)) return false;  // the image could not be read; its screen was shown
    const Verdict fit = JudgeImage(w);
    switch (fit == Verdict::kUse ? JudgeChecksum(w) : fit) {
      case Verdict::kUse: return true;
      case Verdict::kFail: return false;
      case Verdict::kTryAnother: ClearImagePath(w.run.image); break;
    }
  }
}

}  // namespace

uint32_t ConnectAndIdentify(const WizardContext& w) {
  const WizardOperations& ops = w.ops;
  w.pages.ShowWaitBox();
  if (WaitForRemoteLink(ops.remote)) {
    // The device runs its system: no flash is left to finish.
    ops.settings.DeleteFlashSettings();
    IdentifyLinkedDevice(w);
    w.pages.CloseWaitBox();
    return 1;
  }
  if (ops.bootLink.TestPorts() == 0) {
    w.pages.CloseWaitBox();
    EndWithScreen(w, kScreenConnectionError);
    EndRemoteApi(ops.remote);
    session::CloseMainWindow(w.run.flow);
    return 0;
  }
  const uint32_t result = RecoverFromBootLoader(w);
  w.pages.CloseWaitBox();
  return result;
}

uint32_t RecoverFromBootLoader(const WizardContext& w) {
  session::UpdateSession& session = w.run;
  if (!SettleOnImage(w)) return 0;
  session.flow.backAllowed = 0;
  common::SleepMs(kPauseBeforeConfirmMs);
  w.pages.CloseWaitBox();
  if (w.pages.RunPage(kPageConfirm) != 1) return 0;

  common::SleepMs(kPauseAroundFlashMs);
  session.flow.recoveryFlash = 1;
  const int result = w.pages.RunPage(kPageProgress);
  session.flow.recoveryFlash = 0;
  if (result != kPageSucceeded) {
    EndWithScreen(w, kScreenUpdateError);
    return 0;
  }
  common::SleepMs(kPauseAroundFlashMs);
  if (w.ops.bootLink.FlashState() != kFlashCompleted) return 1;
  FinishAfterFlash(w);
  return 0;
}

}  // namespace corvash::driver
