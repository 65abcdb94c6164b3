#pragma once
// The operations as they stand before the subsystems behind them are linked
// in: nothing is stored, no image is found, the device tells nothing and no
// boot loader answers. Each failure keeps the convention (its screen, the
// main window closed), so the program runs to a sound end.
#include "desktop/app/driver/wizard_operations.h"

namespace corvash::driver {

// Process-wide instances; safe to use from any number of runs.
WizardOperations UnlinkedOperations();
PageTexts& UnlinkedPageTexts();

}  // namespace corvash::driver
