#pragma once
// The program's binding: the wizard driver's operations and the pages'
// workers bound to the real subsystems (image files, registry settings, the
// boot-loader link and flash sequences, the sync-process control, the text
// table). Operations of the running device that are not built yet keep the
// driver's unlinked answers.
#include "desktop/app/driver/wizard_operations.h"

namespace corvash::wiring {

// The operations of a real run. The objects live for the whole process.
const driver::WizardOperations& LinkedOperations();
driver::PageTexts& LinkedPageTexts();

// Installs the real workers behind the pages (flash workers, the flash
// settings writer, the boot-link teardown), the sync-process stopper of the
// port test and the download starter of the receive thread. Call once at
// program start, before the first page.
void BindProgramServices();

}  // namespace corvash::wiring

namespace corvash::wiring {
// Ends the boot-loader link's threads before the program exits.
void ShutDownLink();
}  // namespace corvash::wiring
