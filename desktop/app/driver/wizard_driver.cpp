#include "desktop/app/driver/wizard_driver.h"

#include "desktop/app/driver/activesync_check.h"
#include "desktop/app/driver/image_checks.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/session/page_ids.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/app/driver/run_paths.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "common/clock.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

using session::Session;

constexpr const char* kExpectedModel = "Quor 5210";
constexpr uint32_t kPauseAfterFlashMs = 1000;
constexpr int kPowerWarningGoOn = 0;  // "Weiter" ends the power warning with 0

enum class Step {
  kWelcome,
  kPrepare,
  kConnectPage,
  kConnectStep,
  kOptions,
  kConfirm,
  kReady,
  kBootInstructions,
  kFlash,
  kDone,
};

// Reads and clears a page's back flag.
bool TakeFlag(std::atomic<uint32_t>& flag) { return flag.exchange(0) != 0; }

bool Cancelled() { return Session().flow.cancelled.load() != 0; }

// One run of the page graph. Each step opens its page (or does its work) and
// names the step that follows; kDone ends the run.
class WizardRun {
 public:
  explicit WizardRun(const WizardOperations& ops) : ops_(ops) {}

  void Run(Step first) {
    Step step = first;
    while (step != Step::kDone && RunOpen()) step = Next(step);
  }

 private:
  Step Next(Step step) {
    switch (step) {
      case Step::kWelcome: return Welcome();
      case Step::kPrepare: return Prepare();
      case Step::kConnectPage: return ConnectPage();
      case Step::kConnectStep: return ConnectStep();
      case Step::kOptions: return Options();
      case Step::kConfirm: return Confirm();
      case Step::kReady: return Ready();
      case Step::kBootInstructions: return BootInstructions();
      case Step::kFlash: return Flash();
      case Step::kDone: break;
    }
    return Step::kDone;
  }

  Step Welcome() {
    session::RunPage(kPageWelcome);
    return Cancelled() ? Step::kDone : Step::kPrepare;
  }

  Step Prepare() {
    session::RunPage(kPagePrepare);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromPrepare)) return Step::kWelcome;
    return Step::kConnectPage;
  }

  Step ConnectPage() {
    session::RunPage(kPageConnect);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromConnect)) return Step::kPrepare;
    // Back from the option page: the device is known already.
    return leftOptionsBackwards_ ? Step::kOptions : Step::kConnectStep;
  }

  Step ConnectStep() {
    StartRemoteApi(ops_.remote);
    if (ConnectAndIdentify(ops_) == 0) return Step::kDone;
    if (!platform::EqualsNoCase(platform::TextOf(Session().handheld.deviceModel), kExpectedModel)) {
      EndWithScreen(kScreenInvalidModel);
      return Step::kDone;
    }
    return Step::kOptions;
  }

  Step Options() {
    const int result = session::RunPage(kPageOptions);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromOptions)) {
      leftOptionsBackwards_ = true;
      return Step::kConnectPage;
    }
    switch (result) {
      case kOptionUpdate: return Update();
      case kOptionRestore: return Restore();
      case kOptionBackup: return Backup();
      default: return Step::kDone;
    }
  }

  Step Update() {
    session::UpdateSession& session = Session();
    if (ops_.images.FindImageInProgramDir(session.paths, session.image) != image::ImageOutcome::kOk) {
      ShowImageNotFound();
      return Step::kDone;
    }
    platform::CopyText(session.image.imagePath, platform::TextOf(session.image.foundImagePath));
    return CheckImageForFlash(ops_.images, ops_.remote, ImageSource::kBesideProgram) ? Step::kConfirm : Step::kDone;
  }

  Step Restore() {
    if (ops_.images.ChooseRestoreImage(Session().image) != image::ImageOutcome::kOk) return Step::kOptions;
    return CheckImageForFlash(ops_.images, ops_.remote, ImageSource::kChosenByUser) ? Step::kConfirm : Step::kDone;
  }

  Step Backup() {
    if (!PowerAllowsWork()) return Step::kDone;
    session::RunPage(kPageBackupProgress);
    // A failed backup has shown its own screen and closed the run.
    return RunOpen() ? Step::kOptions : Step::kDone;
  }

  Step Confirm() {
    session::RunPage(kPageConfirm);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromConfirm)) return Step::kOptions;
    return Step::kReady;
  }

  Step Ready() {
    session::RunPage(kPageReady);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromReady)) return Step::kConfirm;
    return PowerAllowsWork() ? Step::kBootInstructions : Step::kDone;
  }

  Step BootInstructions() {
    session::RunPage(kPageBootInstructions);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(Session().flow.backFromBootInstructions)) return Step::kReady;
    return Step::kFlash;
  }

  Step Flash() {
    ops_.device.StopActiveSync();
    EndRemoteApi(ops_.remote);
    session::UpdateSession& session = Session();
    session.flow.recoveryFlash = 0;
    session::RunPage(kPageProgress);
    platform::SleepMs(kPauseAfterFlashMs);
    if (ops_.bootLink.FlashState() == kFlashCompleted) {
      FinishAfterFlash(ops_);
    } else {
      EndWithScreen(kScreenUpdateError);
    }
    return Step::kDone;
  }

  // The mains check before a backup or a flash; without mains WARNUNG 111
  // lets the user go on ("Weiter") or give up. False ends the run.
  bool PowerAllowsWork() {
    switch (ops_.device.CheckMainsPower()) {
      case kPowerGoOn: return true;
      case kPowerNoMains: return session::RunPage(kScreenPowerWarning) == kPowerWarningGoOn;
      case kPowerUnknown:
        if (RunOpen()) {
          session::RunPage(kScreenConnectionError);
          EndRemoteApi(ops_.remote);
          session::CloseMainWindow();
        }
        return false;
      default: return false;
    }
  }

  const WizardOperations& ops_;
  bool leftOptionsBackwards_ = false;
};

}  // namespace

void RunWizard(const WizardOperations& ops) {
  session::UpdateSession& session = Session();
  SetUpRunPaths();
  session.flow.pendingFlash = TakeFlashRecord(ops.settings.ReadFlashSettings());
  if (CheckActiveSyncVersion() == 0) {
    EndWithScreen(kScreenActiveSyncTooOld);
  } else {
    // A pending flash skips the introduction pages.
    WizardRun(ops).Run(session.flow.pendingFlash.load() != 0 ? Step::kConnectStep : Step::kWelcome);
  }
  session::CloseMainWindow();
}

void FinishAfterFlash(const WizardOperations& ops) {
  ops.bootLink.DrawVersionBox(platform::TextOf(Session().image.imageVersion));
  platform::SleepMs(kPauseAfterFlashMs);
  session::RunPage(kPageResetInstructions);
  RemoveMarker();
  session::RunPage(kPageFinish);
  session::CloseMainWindow();
}

}  // namespace corvash::driver
