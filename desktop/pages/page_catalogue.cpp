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

std::unique_ptr<PageProcedure> MakePageProcedure(int templateId, const PageServices& services) {
  switch (templateId) {
    case kPageWelcome: return MakeWelcomePage(services.readmeViewer);
    case kPagePrepare: return MakePreparationPage();
    case kPageConnect: return MakeConnectionPage();
    case kPageOptions: return MakeOptionsPage(services.backupTargetChooser);
    case kPageBackupProgress: return MakeBackupProgressPage(services.backupWorker);
    case kPageConfirm: return MakeConfirmationPage();
    case kPageReady: return MakeReadyPage();
    case kPageBootInstructions: return MakeBootModePage(services.bootLoaderWatch);
    case kPageProgress: return MakeProgressPage(services.flashWorkers, services.flashSettingsWriter);
    case kPageResetInstructions: return MakeResetPage(services.linkTeardown, services.activeSync);
    case kPageFinish: return MakeFinishPage(services.clockSetter);
    case kPageWaitBox: return MakeWaitBox();
    case kScreenIncompatibleImage: return MakeIncompatibleImageScreen();
    case kScreenImageTooLarge: return MakeImageTooLargeScreen();
    case kScreenUpdateError: return MakeUpdateErrorScreen(services.linkTeardown);
    case kScreenPowerWarning: return MakePowerWarning(services.powerWatch);
    case kScreenFileExists: return MakeFileExistsWarning();
    default: return MakeErrorScreen(templateId);
  }
}

std::span<const int> PageTemplateIds() { return kTemplateIds; }

}  // namespace corvash::pages
