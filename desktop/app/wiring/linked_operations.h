#pragma once
// The program's binding: the wizard driver's operations and the pages'
// services bound to the real subsystems (image files, registry settings, the
// boot-loader link and flash sequences, the running handheld's services over
// the remote API, the sync-process control, the text table).
#include "desktop/app/driver/wizard_operations.h"
#include "desktop/image/file_chooser.h"
#include "desktop/pages/page_services.h"

namespace corvash::wiring {

// The operations of a real run; `chooser` answers the choice of a restore
// image. Made on the first call, whose chooser they keep; the objects live
// for the whole process.
const driver::WizardOperations& LinkedOperations(image::FileChooser& chooser);
driver::PageTexts& LinkedPageTexts();

// The services of the program's pages: the flash workers, the flash settings
// writer and the boot-link teardown of this program, and `readme`, the
// desktop's viewer (the GUI side makes it), and `chooser`, which the backup
// target's choice asks (with the free space of the target's file system
// read by statvfs). Made on the first call; the objects referred to live
// for the whole process (`readme` must too, `chooser` as long as pages
// run). This is the one place where the pages' services are put together.
pages::PageServices ProgramPageServices(pages::ReadmeViewer& readme, image::FileChooser& chooser);

}  // namespace corvash::wiring

namespace corvash::wiring {
// Closes the boot-loader link (its threads end) before the program exits.
void ShutDownLink();
}  // namespace corvash::wiring
