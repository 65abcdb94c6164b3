// corvash: the desktop wizard. It takes no arguments. The GUI thread serves
// the pages, with the services bound to the real subsystems, while the
// wizard driver runs on a thread of its own with the operations bound to
// them; the exit code is the driver's (3 when a run under the autopilot
// fails).
#include "desktop/app/driver/program_start.h"
#include "desktop/app/wiring/linked_operations.h"
#include "desktop/qt/qt_program.h"
#include "desktop/qt/qt_readme_viewer.h"

int main(int argc, char** argv) {
  // Lives until the process ends, as the page services must.
  static corvash::pages::DesktopReadmeViewer readme;
  const auto services = [](corvash::image::FileChooser& chooser) {
    return corvash::wiring::ProgramPageServices(readme, chooser);
  };
  return corvash::pages::RunQtProgram(argc, argv, services, [](corvash::pages::PageHost& host,
                                                               corvash::image::FileChooser& chooser) {
    corvash::wiring::BindLinkHooks();
    const int code = corvash::driver::RunProgram(host, corvash::wiring::LinkedPageTexts(),
                                                 corvash::wiring::LinkedOperations(chooser));
    // The boot-loader link's threads end before the pages and the process do.
    corvash::wiring::ShutDownLink();
    return code;
  });
}
