// corvash: the desktop wizard. It takes no arguments. The GUI thread serves
// the pages while the wizard driver runs on a thread of its own with the
// operations and page workers bound to the real subsystems; the exit code is
// the driver's (3 when a run under the autopilot fails).
#include "desktop/app/driver/program_start.h"
#include "desktop/app/wiring/linked_operations.h"
#include "desktop/qt/qt_program.h"

int main(int argc, char** argv) {
  return corvash::pages::RunQtProgram(argc, argv, [](corvash::pages::PageHost& host) {
    corvash::wiring::BindProgramServices();
    const int code =
        corvash::driver::RunProgram(host, corvash::wiring::LinkedPageTexts(), corvash::wiring::LinkedOperations());
    // The boot-loader link's threads end before the pages and the process do.
    corvash::wiring::ShutDownLink();
    return code;
  });
}
