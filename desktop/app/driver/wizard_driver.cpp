#include "desktop/app/driver/wizard_driver.h"

#include "desktop/app/driver/activesync_check.h"
#include "desktop/app/driver/image_checks.h"
#include "desktop/app/driver/image_screens.h"
#include "desktop/session/page_ids.h"
#include "desktop/app/driver/run_control.h"
#include "desktop/app/driver/run_paths.h"
#include "desktop/session/update_session.h"
#include "common/clock.h"

namespace corvash::driver {

using namespace session;  // page and screen ids read as the driver's own
namespace {

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

// One run of the page graph. Each step opens its page (or does its work) and
// names the step that follows; kDone ends the run.
class WizardRun {
 public:
  explicit WizardRun(const WizardContext& w) : w_(w), ops_(w.ops), flow_(w.run.flow) {}

  void Run(Step first) {
    Step step = first;
    while (step != Step::kDone && RunOpen(flow_)) step = Next(step);
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
    ShowPage(w_, kPageWelcome);
    return Cancelled() ? Step::kDone : Step::kPrepare;
  }

  Step Prepare() {
    ShowPage(w_, kPagePrepare);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromPrepare)) return Step::kWelcome;
    return Step::kConnectPage;
  }

  Step ConnectPage() {
    ShowPage(w_, kPageConnect);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromConnect)) return Step::kPrepare;
    // Back from the option page: the device is known already.
    return leftOptionsBackwards_ ? Step::kOptions : Step::kConnectStep;
  }

  Step ConnectStep() {
    StartRemoteApi(ops_.remote);
    if (ConnectAndIdentify(w_) == 0) return Step::kDone;
    if (!common::EqualsNoCase(common::TextOf(w_.run.handheld.deviceModel), kExpectedModel)) {
      EndWithScreen(w_, kScreenInvalidModel);
      return Step::kDone;
    }
    return Step::kOptions;
  }

  Step Options() {
    const int result = ShowPage(w_, kPageOptions);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromOptions)) {
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
    session::UpdateSession& session = w_.run;
    if (ops_.images.FindImageInProgramDir(session.paths, session.image) != image::ImageOutcome::kOk) {
      ShowImageNotFound(w_);
      return Step::kDone;
    }
    common::CopyText(session.image.imagePath, common::TextOf(session.image.foundImagePath));
    return CheckImageForFlash(w_, ImageSource::kBesideProgram) ? Step::kConfirm : Step::kDone;
  }

  Step Restore() {
    if (ops_.images.ChooseRestoreImage(w_.run.image) != image::ImageOutcome::kOk) return Step::kOptions;
    return CheckImageForFlash(w_, ImageSource::kChosenByUser) ? Step::kConfirm : Step::kDone;
  }

  Step Backup() {
    if (!PowerAllowsWork()) return Step::kDone;
    ShowPage(w_, kPageBackupProgress);
    // A failed backup has shown its own screen and closed the run.
    return RunOpen(flow_) ? Step::kOptions : Step::kDone;
  }

  Step Confirm() {
    ShowPage(w_, kPageConfirm);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromConfirm)) return Step::kOptions;
    return Step::kReady;
  }

  Step Ready() {
    ShowPage(w_, kPageReady);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromReady)) return Step::kConfirm;
    return PowerAllowsWork() ? Step::kBootInstructions : Step::kDone;
  }

  Step BootInstructions() {
    ShowPage(w_, kPageBootInstructions);
    if (Cancelled()) return Step::kDone;
    if (TakeFlag(flow_.backFromBootInstructions)) return Step::kReady;
    return Step::kFlash;
  }

  Step Flash() {
    ops_.device.StopActiveSync();
    EndRemoteApi(ops_.remote);
    flow_.recoveryFlash = 0;
    ShowPage(w_, kPageProgress);
    common::SleepMs(kPauseAfterFlashMs);
    if (ops_.bootLink.FlashState() == kFlashCompleted) {
      FinishAfterFlash(w_);
    } else {
      EndWithScreen(w_, kScreenUpdateError);
    }
    return Step::kDone;
  }

  // The mains check before a backup or a flash; without mains WARNUNG 111
  // lets the user go on ("Weiter") or give up. False ends the run.
  bool PowerAllowsWork() {
    switch (ops_.device.CheckMainsPower()) {
      case kPowerGoOn: return true;
      case kPowerNoMains: return ShowPage(w_, kScreenPowerWarning) == kPowerWarningGoOn;
      case kPowerUnknown:
        if (RunOpen(flow_)) {
          ShowPage(w_, kScreenConnectionError);
          EndRemoteApi(ops_.remote);
          session::CloseMainWindow(flow_);
        }
        return false;
      default: return false;
    }
  }

  bool Cancelled() const { return flow_.cancelled.load() != 0; }

  const WizardContext& w_;
  const WizardOperations& ops_;
  session::WizardFlow& flow_;
  bool leftOptionsBackwards_ = false;
};

}  // namespace

void RunWizard(const WizardContext& w) {
  session::UpdateSession& session = w.run;
  SetUpRunPaths(session.paths);
  session.flow.pendingFlash = TakeFlashRecord(session, w.ops.settings.ReadFlashSettings());
  if (CheckActiveSyncVersion() == 0) {
    EndWithScreen(w, kScreenActiveSyncTooOld);
  } else {
    // A pending flash skips the introduction pages.
    WizardRun(w).Run(session.flow.pendingFlash.load() != 0 ? Step::kConnectStep : Step::kWelcome);
  }
  session::CloseMainWindow(session.flow);
}

void FinishAfterFlash(const WizardContext& w) {
  w.ops.bootLink.DrawVersionBox(common::TextOf(w.run.image.imageVersion));
  common::SleepMs(kPauseAfterFlashMs);
  ShowPage(w, kPageResetInstructions);
  RemoveMarker(w.run.paths);
  ShowPage(w, kPageFinish);
  session::CloseMainWindow(w.run.flow);
}

}  // namespace corvash::driver
