#pragma once
// The program's binding: the wizard driver's operations and the pages'
// services bound to the real subsystems (image files, registry settings, the
// boot-loader link and flash sequences, the running handheld's services over
// the remote API, the sync-process control, the text table).
#include <memory>

#include "desktop/app/driver/wizard_operations.h"
#include "desktop/image/file_chooser.h"
#include "desktop/pages/page_services.h"

namespace corvash::session {
class PageHost;
struct UpdateSession;
}  // namespace corvash::session

namespace corvash::wiring {

// What one run of the program works with. It owns the remote API of the
// sync link (the prefix's socket) and the run's session on it, the link to
// the boot loader, and the objects behind the operations and the services;
// it reads and fills `run`, opens screens through `pages`, answers the
// choice of a restore image or a backup target through `chooser` and shows
// the readme through `readme`. All four must outlive it.
class LinkedProgram {
 public:
  LinkedProgram(session::UpdateSession& run, session::PageHost& pages, image::FileChooser& chooser,
                pages::ReadmeViewer& readme);
  // Closes the boot-loader link.
  ~LinkedProgram();
  LinkedProgram(const LinkedProgram&) = delete;
  LinkedProgram& operator=(const LinkedProgram&) = delete;

  const driver::WizardOperations& Operations() const;
  driver::PageTexts& Texts();
  // The services of the program's pages: the flash workers, the flash
  // settings writer, the boot-link teardown, the readme viewer and the
  // backup target's choice (with the free space of the target's file system
  // read by statvfs). This is the one place where they are put together.
  pages::PageServices PageServices();
  // Closes the boot-loader link (its threads end) before the program exits.
  void ShutDownLink();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace corvash::wiring
