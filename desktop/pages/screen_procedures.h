#pragma once
// The error (FEHLER) and warning (WARNUNG) screens, one maker per template;
// each takes the services its screen uses.
#include <memory>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_services.h"

namespace corvash::pages {

// FEHLER 101, 102, 103, 104, 106, 107, 109, 115, 116 and 117: a heading,
// texts and one "Beenden" button. Null for a template that is none of them.
std::unique_ptr<PageProcedure> MakeErrorScreen(int templateId);
std::unique_ptr<PageProcedure> MakeIncompatibleImageScreen();                     // FEHLER 100, template 123
std::unique_ptr<PageProcedure> MakeImageTooLargeScreen();                         // FEHLER 110, template 151
std::unique_ptr<PageProcedure> MakeUpdateErrorScreen(LinkTeardown& teardown);     // FEHLER 113, template 114
std::unique_ptr<PageProcedure> MakePowerWarning(PowerWatch& power);               // WARNUNG 111, template 105
std::unique_ptr<PageProcedure> MakeFileExistsWarning();                           // WARNUNG 112, template 152

// Whether the power watch that WARNUNG 111 started is still running. One
// watch serves every power warning of the process: a warning opened while
// one runs starts none, whichever services it was made with.
bool PowerWatchIsRunning();

}  // namespace corvash::pages
