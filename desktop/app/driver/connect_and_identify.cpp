#include <string>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/app/driver/wizard_driver.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"

namespace corvash::driver {

using namespace pages;  // page and screen ids read as the driver's own
namespace {

using session::Session;

constexpr uint32_t kPauseBeforeConfirmMs = 2000;
constexpr uint32_t kPauseAroundFlashMs = 1000;

bool ImagePathEmpty() { return platform::TextOf(Session().image.imagePath).empty(); }

void ClearImagePath() { platform::ClearText(Session().image.imagePath); }

uint32_t ReadHeaderOfImagePath(ImageOperations& images) {
  return images.ReadImageHeader(std::string(platform::TextOf(Session().image.imagePath)));
}

// Falls back to the image beside the program. False when there is none
// (its screen has been shown).
bool TakeImageBesideProgram(ImageOperations& images) {
  if (images.FindImageInProgramDir() == 0) return false;
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
  session.flow.pendingFlash = ops.settings.ReadFlashSettings();
  if (session.flow.pendingFlash.load() != 0 && ImagePathEmpty()) return TakeImageBesideProgram(ops.images);
  if (!ImagePathEmpty() && ReadHeaderOfImagePath(ops.images) == 0) {
    ClearImagePath();
    session.flow.recoveryMode = 0;
  }
  return RunOpen();
}

// Identifies the device linked through the sync software into the run's
// values, showing the screen identification names (the run then ends).
void IdentifyLinkedDevice(DeviceServices& device) {
  session::UpdateSession& session = Session();
  const device::Identification found =
      device.IdentifyDevice(platform::TextOf(session.paths.programDir), session.handheld);
  if (found.answered) session.serialLink = found.serialLink ? 1 : 0;
  if (found.imageSizeKB) session.image.imageSizeKB = *found.imageSizeKB;
  if (found.screen != 0) {
    pages::RunPage(found.screen);
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
  if (ops.bootLink.ReadDeviceIdentity() == 0) {
    pages::CloseWaitBox();
    ops.bootLink.CloseCommandSession();
    session::CloseMainWindow();
    return Verdict::kFail;
  }
  ops.bootLink.CloseCommandSession();
  if (ops.images.CheckStoredImage() == 0) {
    if (session.flow.recoveryMode.load() == 0 || !RunOpen()) return Verdict::kFail;
    // Model or language differ: dropped whatever its variant.
    session.flow.recoveryMode = 0;
    return Verdict::kTryAnother;
  }
  if (ops.images.CheckVariant() == 0) {
    if (session.flow.recoveryMode.load() != 0) return Verdict::kTryAnother;
    pages::CloseWaitBox();
    session.flow.versionMismatch = 1;
    EndWithScreen(kScreenIncompatibleImage);
    return Verdict::kFail;
  }
  return Verdict::kUse;
}

// Finds the image to flash; false when the run is over.
bool SettleOnImage(const WizardOperations& ops) {
  if (!PickRecoveryImage(ops)) return false;
  for (;;) {
    if (ImagePathEmpty() && !TakeImageBesideProgram(ops.images)) return false;
    if (!RunOpen()) return false;  // the image could not be read; its screen was shown
    switch (JudgeImage(ops)) {
      case Verdict::kUse: return true;
      case Verdict::kFail: return false;
      case Verdict::kTryAnother: ClearImagePath(); break;
    }
  }
}

}  // namespace

uint32_t ConnectAndIdentify(const WizardOperations& ops) {
  pages::ShowWaitBox();
  if (WaitForRemoteLink(ops.remote)) {
    // The device runs its system: no flash is left to finish.
    ops.settings.DeleteFlashSettings();
    IdentifyLinkedDevice(ops.device);
    pages::CloseWaitBox();
    return 1;
  }
  if (ops.bootLink.TestPorts() == 0) {
    pages::CloseWaitBox();
    EndWithScreen(kScreenConnectionError);
    EndRemoteApi(ops.remote);
    session::CloseMainWindow();
    return 0;
  }
  const uint32_t result = RecoverFromBootLoader(ops);
  pages::CloseWaitBox();
  return result;
}

uint32_t RecoverFromBootLoader(const WizardOperations& ops) {
  session::UpdateSession& session = Session();
  if (!SettleOnImage(ops)) return 0;
  session.flow.backAllowed = 0;
  platform::SleepMs(kPauseBeforeConfirmMs);
  pages::CloseWaitBox();
  if (pages::RunPage(kPageConfirm) != 1) return 0;

  platform::SleepMs(kPauseAroundFlashMs);
  session.flow.recoveryFlash = 1;
  const int result = pages::RunPage(kPageProgress);
  session.flow.recoveryFlash = 0;
  if (result != kPageSucceeded) {
    EndWithScreen(kScreenUpdateError);
    return 0;
  }
  platform::SleepMs(kPauseAroundFlashMs);
  if (session.flow.flashState.load() != kFlashCompleted) return 1;
  FinishAfterFlash(ops);
  return 0;
}

}  // namespace corvash::driver
