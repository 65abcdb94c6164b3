#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/app/driver/wizard_driver.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

using image::ImageOutcome;
using session::Session;

constexpr uint32_t kPauseBeforeConfirmMs = 2000;
constexpr uint32_t kPauseAroundFlashMs = 1000;

bool ImagePathEmpty() { return platform::TextOf(Session().image.imagePath).empty(); }

void ClearImagePath() { platform::ClearText(Session().image.imagePath); }

// False when the header cannot be read (its screen has been shown, unless a
// vanished stored image is dropped silently).
bool ReadHeaderOfImagePath(ImageOperations& images) {
  session::ChosenImage& image = Session().image;
  const ImageOutcome outcome = images.ReadImageHeader(std::string(platform::TextOf(image.imagePath)), image);
  if (outcome == ImageOutcome::kOk) return true;
  ShowHeaderFailure(outcome);
  return false;
}

// Falls back to the image beside the program. False when there is none
// (its screen has been shown).
bool TakeImageBesideProgram(ImageOperations& images) {
  if (images.FindImageInProgramDir(Session().paths, Session().image) != ImageOutcome::kOk) {
    ShowImageNotFound();
    return false;
  }
  ReadHeaderOfImagePath(images);
  Session().flow.recoveryMode = 0;
  return true;
}

// The image of an interrupted flash, when the settings still name one and
// its header can be read; otherwise the image beside the program. A stored
// path is checked whether or not the record says a flash is pending, so that
// a vanished stored image is always dropped here, without a screen. False
// when the run is over.
bool PickRecoveryImage(const WizardOperations& ops) {
  session::UpdateSession& session = Session();
  session.flow.pendingFlash = TakeFlashRecord(ops.settings.ReadFlashSettings());
  if (session.flow.pendingFlash.load() != 0 && ImagePathEmpty()) return TakeImageBesideProgram(ops.images);
  if (!ImagePathEmpty() && !ReadHeaderOfImagePath(ops.images)) {
    ClearImagePath();
    session.flow.recoveryMode = 0;
  }
  return RunOpen();
}

// Identifies the device linked through the sync software into the run's
// values, showing the screen identification names (the run then ends).
void IdentifyLinkedDevice(DeviceServices& device) {
  session::UpdateSession& session = Session();
  const handheld::Identification found =
      device.IdentifyDevice(platform::TextOf(session.paths.programDir), session.handheld);
  if (found.answered) session.serialLink = found.serialLink ? 1 : 0;
  if (found.imageSizeKB) session.image.imageSizeKB = *found.imageSizeKB;
  if (found.screen != 0) {
    session::RunPage(found.screen);
    session::CloseMainWindow();
  }
}

enum class Verdict { kUse, kTryAnother, kFail };

// Reads the device's identity through the loader and judges imagePath
// against it. A stored image that does not fit is dropped without a screen;
// the image beside the program must fit.
Verdict JudgeImage(const WizardOperations& ops) {
  session::UpdateSession& session = Session();
  ops.bootLink.OpenCommandSession();
  const bootlink::IdentityOutcome identity = ops.bootLink.ReadDeviceIdentity(session.handheld);
  if (identity != bootlink::IdentityOutcome::kRead) {
    if (identity == bootlink::IdentityOutcome::kFailed) session::RunPage(kScreenIdentityReadError);
    session::CloseWaitBox();
    ops.bootLink.CloseCommandSession();
    session::CloseMainWindow();
    return Verdict::kFail;
  }
  ops.bootLink.CloseCommandSession();
  const ImageOutcome stored = ops.images.CheckStoredImage(session.image, session.handheld);
  if (stored != ImageOutcome::kOk) {
    ShowStoredImageCheck(stored);
    if (session.flow.recoveryMode.load() == 0 || !RunOpen()) return Verdict::kFail;
    // Model or language differ: dropped whatever its variant.
    session.flow.recoveryMode = 0;
    return Verdict::kTryAnother;
  }
  if (ops.images.CheckVariant(session.image, session.handheld) != ImageOutcome::kOk) {
    if (session.flow.recoveryMode.load() != 0) return Verdict::kTryAnother;
    session::CloseWaitBox();
    session.flow.versionMismatch = 1;
    EndWithScreen(kScreenIncompatibleImage);
    return Verdict::kFail;
  }
  return Verdict::kUse;
}

// Checks the sum of an image that fits against its header, as before any flash. A
// stored image that fails is dropped without a screen, as a misfit is; the
// image beside the program must pass (FEHLER 102).
Verdict JudgeChecksum(ImageOperations& images) {
  const image::ImageOutcome sum = images.VerifyImageChecksum(Session().image);
  if (sum == image::ImageOutcome::kOk) return Verdict::kUse;
  if (image::IsUnreadable(sum)) {
    ShowImageNotOpened();
    return Verdict::kFail;
  }
  if (Session().flow.recoveryMode.load() != 0) {
    Session().flow.recoveryMode = 0;
    return Verdict::kTryAnother;
  }
  session::CloseWaitBox();
  EndWithScreen(kScreenChecksumError);
  return Verdict::kFail;
}

// Finds the image to flash; false when the run is over.
bool SettleOnImage(const WizardOperations& ops) {
  if (!PickRecoveryImage(ops)) return false;
  for (;;) {
    if (ImagePathEmpty() && !TakeImageBesideProgram(ops.images)) return false;
    if (!RunOpen()) return false;  // the image could not be read; its screen was shown
    const Verdict fit = JudgeImage(ops);
    switch (fit == Verdict::kUse ? JudgeChecksum(ops.images) : fit) {
      case Verdict::kUse: return true;
      case Verdict::kFail: return false;
      case Verdict::kTryAnother: ClearImagePath(); break;
    }
  }
}

}  // namespace

uint32_t ConnectAndIdentify(const WizardOperations& ops) {
  session::ShowWaitBox();
  if (WaitForRemoteLink(ops.remote)) {
    // The device runs its system: no flash is left to finish.
    ops.settings.DeleteFlashSettings();
    IdentifyLinkedDevice(ops.device);
    session::CloseWaitBox();
    return 1;
  }
  if (ops.bootLink.TestPorts() == 0) {
    session::CloseWaitBox();
    EndWithScreen(kScreenConnectionError);
    EndRemoteApi(ops.remote);
    session::CloseMainWindow();
    return 0;
  }
  const uint32_t result = RecoverFromBootLoader(ops);
  session::CloseWaitBox();
  return result;
}

uint32_t RecoverFromBootLoader(const WizardOperations& ops) {
  session::UpdateSession& session = Session();
  if (!SettleOnImage(ops)) return 0;
  session.flow.backAllowed = 0;
  platform::SleepMs(kPauseBeforeConfirmMs);
  session::CloseWaitBox();
  if (session::RunPage(kPageConfirm) != 1) return 0;

  platform::SleepMs(kPauseAroundFlashMs);
  session.flow.recoveryFlash = 1;
  const int result = session::RunPage(kPageProgress);
  session.flow.recoveryFlash = 0;
  if (result != kPageSucceeded) {
    EndWithScreen(kScreenUpdateError);
    return 0;
  }
  platform::SleepMs(kPauseAroundFlashMs);
  if (ops.bootLink.FlashState() != kFlashCompleted) return 1;
  FinishAfterFlash(ops);
  return 0;
}

}  // namespace corvash::driver
