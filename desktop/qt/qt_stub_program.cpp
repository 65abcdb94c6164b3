// corvash while the wizard driver and its wiring are not part of the build
// (a developer building the pages alone): a short tour of pages on the same
// Qt host, the autopilot and the transcript included. The welcome page, the
// wait box for a moment, the confirmation page and the finish page.
#include "desktop/session/page_host.h"
#include "desktop/qt/qt_program.h"
#include "common/clock.h"
#include "desktop/resources/text_table.h"

int main(int argc, char** argv) {
  return corvash::pages::RunQtProgram(argc, argv, [](corvash::pages::PageHost& host) {
    corvash::resources::LoadTextTable();
    if (host.RunPage(103) != 0) return 0;
    host.ShowWaitBox();
    corvash::platform::SleepMs(1500);
    host.CloseWaitBox();
    if (host.RunPage(124) == 1) host.RunPage(133);
    return 0;
  });
}
