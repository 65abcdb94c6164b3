#pragma once
// The wizard pages and the wait box, one maker per template. Each maker
// takes the services its page uses and the parts of the run it shows or sets; the catalogue (page_catalogue.h) picks
// them by template id and hands them out from PageServices.
#include <memory>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_run.h"
#include "desktop/pages/page_services.h"

namespace corvash::pages {

std::unique_ptr<PageProcedure> MakeWelcomePage(ReadmeViewer& readme, session::WizardFlow& flow);  // 103
std::unique_ptr<PageProcedure> MakePreparationPage(session::WizardFlow& flow);                    // 121
std::unique_ptr<PageProcedure> MakeConnectionPage(session::WizardFlow& flow);                     // 161
std::unique_ptr<PageProcedure> MakeOptionsPage(BackupTargetChooser& backupTarget, const session::HandheldIdentity& handheld,
                                               session::WizardFlow& flow);  // 109
std::unique_ptr<PageProcedure> MakeBackupProgressPage(BackupWorker& worker, const PageRun& run);  // 132
std::unique_ptr<PageProcedure> MakeConfirmationPage(const session::ChosenImage& image,
                                                    const session::HandheldIdentity& handheld,
                                                    session::WizardFlow& flow);  // 124
std::unique_ptr<PageProcedure> MakeReadyPage(const session::HandheldIdentity& handheld,
                                             const std::atomic<uint32_t>& serialLink,
                                             session::WizardFlow& flow);  // 130
std::unique_ptr<PageProcedure> MakeBootModePage(BootLoaderWatch& watch, session::WizardFlow& flow,
                                                PageWatches& watches);  // 169
std::unique_ptr<PageProcedure> MakeProgressPage(FlashWorkers& workers, FlashSettingsWriter& settings,
                                                const PageRun& run);  // 102
std::unique_ptr<PageProcedure> MakeResetPage(LinkTeardown& teardown, ActiveSyncControl& activeSync);  // 167
std::unique_ptr<PageProcedure> MakeFinishPage(ClockSetter& clock);                                    // 133
std::unique_ptr<PageProcedure> MakeWaitBox(session::WizardFlow& flow);                                // 122

}  // namespace corvash::pages
