#pragma once
// The wizard driver: walks the user through one update, restore, backup or
// recovery run, page by page, calling the other subsystems in between. It
// runs on the wizard thread; every page blocks it until the page ends. Every
// path ends with the main window closed (flow.mainWindow == 0); the
// first fault of a run shows exactly one screen.
#include <cstdint>

#include "desktop/app/driver/wizard_operations.h"

namespace corvash::driver {

// The whole run. Expects the main window open (mainWindow == 1); the run
// starts the remote-API session of its operations itself.
void RunWizard(const WizardContext& w);

// The connection step after the remote-API start: identifies the device
// linked through the sync software, or, when no link comes up within
// 3000 ms, looks for its boot loader and resumes from there. 1 when the run
// goes on to the option page; 0 when the run is over.
uint32_t ConnectAndIdentify(const WizardContext& w);

// The device answers only in its boot loader: picks the stored image of an
// interrupted flash (or the image beside the program), reads the device's
// identity through the loader, checks the image and flashes it. 1 when the
// run goes on at the option page (the flash did not complete); 0 when the run
// is over.
uint32_t RecoverFromBootLoader(const WizardContext& w);

// After a completed flash: the new version on the device screen, the reset
// instructions, the marker removed, the finish page; the run is closed.
void FinishAfterFlash(const WizardContext& w);

}  // namespace corvash::driver
