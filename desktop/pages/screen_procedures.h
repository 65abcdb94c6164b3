#pragma once
// The error (FEHLER) and warning (WARNUNG) screens, one maker per template;
// each takes the services its screen uses.
#include <memory>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_services.h"
#include "desktop/pages/page_watches.h"
#include "desktop/session/update_session.h"

namespace corvash::pages {

// FEHLER 101, 102, 103, 104, 106, 107, 109, 115, 116 and 117: a heading,
// texts and one "Beenden" button. Null for a template that is none of them.
// FEHLER 103 closes the main window of `flow` itself.
std::unique_ptr<PageProcedure> MakeErrorScreen(int templateId, session::WizardFlow& flow);
// FEHLER 100, template 123: shows the run's device and image, marks and clears its mismatch flags.
std::unique_ptr<PageProcedure> MakeIncompatibleImageScreen(session::UpdateSession& run);
std::unique_ptr<PageProcedure> MakeImageTooLargeScreen(const session::ChosenImage& image,
                                                       const session::HandheldIdentity& handheld);  // FEHLER 110, 151
std::unique_ptr<PageProcedure> MakeUpdateErrorScreen(LinkTeardown& teardown,
                                                     const std::atomic<uint32_t>& serialLink);  // FEHLER 113, 114
// WARNUNG 111, template 105: starts the run's power watch unless one runs.
std::unique_ptr<PageProcedure> MakePowerWarning(PowerWatch& power, PageWatches& watches);
std::unique_ptr<PageProcedure> MakeFileExistsWarning();                           // WARNUNG 112, template 152

}  // namespace corvash::pages
