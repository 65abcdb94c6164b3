#pragma once
// The wizard pages and the wait box, one maker per template. Each maker
// takes the services its page uses; the catalogue (page_catalogue.h) picks
// them by template id and hands them out from PageServices.
#include <memory>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_services.h"

namespace corvash::pages {

std::unique_ptr<PageProcedure> MakeWelcomePage(ReadmeViewer& readme);                 // 103
std::unique_ptr<PageProcedure> MakePreparationPage();                                 // 121
std::unique_ptr<PageProcedure> MakeConnectionPage();                                  // 161
std::unique_ptr<PageProcedure> MakeOptionsPage(BackupTargetChooser& backupTarget);    // 109
std::unique_ptr<PageProcedure> MakeBackupProgressPage(BackupWorker& worker);          // 132
std::unique_ptr<PageProcedure> MakeConfirmationPage();                                // 124
std::unique_ptr<PageProcedure> MakeReadyPage();                                       // 130
std::unique_ptr<PageProcedure> MakeBootModePage(BootLoaderWatch& watch);              // 169
std::unique_ptr<PageProcedure> MakeProgressPage(FlashWorkers& workers,
                                                FlashSettingsWriter& settings);       // 102
std::unique_ptr<PageProcedure> MakeResetPage(LinkTeardown& teardown,
                                             ActiveSyncControl& activeSync);          // 167
std::unique_ptr<PageProcedure> MakeFinishPage(ClockSetter& clock);                    // 133
std::unique_ptr<PageProcedure> MakeWaitBox();                                         // 122

}  // namespace corvash::pages
