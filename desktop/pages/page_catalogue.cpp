#include "desktop/pages/page_catalogue.h"

#include "desktop/pages/page_procedures.h"
#include "desktop/pages/screen_procedures.h"

namespace corvash::pages {
namespace {

constexpr int kTemplateIds[] = {102, 103, 105, 109, 114, 121, 122, 123, 124, 130, 132, 133, 138, 139,
                                140, 141, 144, 145, 147, 151, 152, 161, 165, 167, 169, 268, 269};

}  // namespace

std::unique_ptr<PageProcedure> MakePageProcedure(int templateId, const PageServices& services) {
  switch (templateId) {
    case 103: return MakeWelcomePage(services.readmeViewer);
    case 121: return MakePreparationPage();
    case 161: return MakeConnectionPage();
    case 109: return MakeOptionsPage(services.backupTargetChooser);
    case 132: return MakeBackupProgressPage(services.backupWorker);
    case 124: return MakeConfirmationPage();
    case 130: return MakeReadyPage();
    case 169: return MakeBootModePage(services.bootLoaderWatch);
    case 102: return MakeProgressPage(services.flashWorkers, services.flashSettingsWriter);
    case 167: return MakeResetPage(services.linkTeardown, services.activeSync);
    case 133: return MakeFinishPage(services.clockSetter);
    case 122: return MakeWaitBox();
    case 123: return MakeIncompatibleImageScreen();
    case 151: return MakeImageTooLargeScreen();
    case 114: return MakeUpdateErrorScreen(services.linkTeardown);
    case 105: return MakePowerWarning(services.powerWatch);
    case 152: return MakeFileExistsWarning();
    default: return MakeErrorScreen(templateId);
  }
}

std::span<const int> PageTemplateIds() { return kTemplateIds; }

}  // namespace corvash::pages
