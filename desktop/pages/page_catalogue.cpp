#include "desktop/pages/page_catalogue.h"

#include "desktop/pages/page_procedures.h"
#include "desktop/pages/screen_procedures.h"
#include "desktop/session/page_ids.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kTemplateIds[] = {
    kPageProgress, kPageWelcome, kScreenPowerWarning, kPageOptions, kScreenUpdateError, kPagePrepare,
    kPageWaitBox, kScreenIncompatibleImage, kPageConfirm, kPageReady, kPageBackupProgress, kPageFinish,
    kScreenConnectionError, kScreenChecksumError, kScreenImageNotFound, kScreenImageNotOpened,
    kScreenAgentNotStarted, kScreenBackupImpossible, kScreenBackupFailed, kScreenImageTooLarge,
    kScreenFileExists, kPageConnect, kScreenActiveSyncTooOld, kPageResetInstructions, kPageBootInstructions,
    kScreenIdentityReadError, kScreenInvalidModel};

}  // namespace

std::unique_ptr<PageProcedure> MakePageProcedure(int templateId, const PageServices& services, const PageRun& run) {
  session::UpdateSession& values = run.values;
  session::WizardFlow& flow = values.flow;
  switch (templateId) {
    case kPageWelcome: return MakeWelcomePage(services.readmeViewer, flow);
    case kPagePrepare: return MakePreparationPage(flow);
    case kPageConnect: return MakeConnectionPage(flow);
    case kPageOptions: return MakeOptionsPage(services.backupTargetChooser, values.handheld, flow);
    case kPageBackupProgress: return MakeBackupProgressPage(services.backupWorker, run);
    case kPageConfirm: return MakeConfirmationPage(values.image, values.handheld, flow);
    case kPageReady: return MakeReadyPage(values.handheld, values.serialLink, flow);
    case kPageBootInstructions: return MakeBootModePage(services.bootLoaderWatch, flow, run.watches);
    case kPageProgress: return MakeProgressPage(services.flashWorkers, services.flashSettingsWriter, run);
    case kPageResetInstructions: return MakeResetPage(services.linkTeardown, services.activeSync);
    case kPageFinish: return MakeFinishPage(services.clockSetter);
    case kPageWaitBox: return MakeWaitBox(flow);
    case kScreenIncompatibleImage: return MakeIncompatibleImageScreen(values);
    case kScreenImageTooLarge: return MakeImageTooLargeScreen(values.image, values.handheld);
    case kScreenUpdateError: return MakeUpdateErrorScreen(services.linkTeardown, values.serialLink);
    case kScreenPowerWarning: return MakePowerWarning(services.powerWatch, run.watches);
    case kScreenFileExists: return MakeFileExistsWarning();
    default: return MakeErrorScreen(templateId, flow);
  }
}

std::span<const int> PageTemplateIds() { return kTemplateIds; }

}  // namespace corvash::pages
