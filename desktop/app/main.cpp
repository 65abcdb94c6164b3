// corvash: the desktop wizard. It takes no arguments. The GUI thread serves
// the pages while the wizard driver runs on a thread of its own; the exit
// code is the driver's (3 when a run under the autopilot fails).
#include "desktop/app/driver/program_start.h"
#include "desktop/pages/qt_program.h"

int main(int argc, char** argv) {
  return corvash::pages::RunQtProgram(
      argc, argv, [](corvash::pages::PageHost& host) { return corvash::driver::RunProgram(host); });
}
