#pragma once
// The wizard pages and the wait box, one maker per template. The catalogue
// (page_catalogue.h) picks them by template id.
#include <memory>

#include "desktop/pages/page_dialog.h"

namespace corvash::pages {

std::unique_ptr<PageProcedure> MakeWelcomePage();          // 103
std::unique_ptr<PageProcedure> MakePreparationPage();      // 121
std::unique_ptr<PageProcedure> MakeConnectionPage();       // 161
std::unique_ptr<PageProcedure> MakeOptionsPage();          // 109
std::unique_ptr<PageProcedure> MakeBackupProgressPage();   // 132
std::unique_ptr<PageProcedure> MakeConfirmationPage();     // 124
std::unique_ptr<PageProcedure> MakeReadyPage();            // 130
std::unique_ptr<PageProcedure> MakeBootModePage();         // 169
std::unique_ptr<PageProcedure> MakeProgressPage();         // 102
std::unique_ptr<PageProcedure> MakeResetPage();            // 167
std::unique_ptr<PageProcedure> MakeFinishPage();           // 133
std::unique_ptr<PageProcedure> MakeWaitBox();              // 122

}  // namespace corvash::pages
