// corvash while the wizard driver and its wiring are not part of the build
// (a developer building the pages alone): a short tour of pages on the same
// Qt host, the autopilot and the transcript included. The welcome page, the
// wait box for a moment, the confirmation page and the finish page. The
// pages have the desktop's readme viewer and the harmless default services.
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"
#include "desktop/qt/qt_program.h"
#include "desktop/qt/qt_readme_viewer.h"
#include "common/clock.h"
#include "desktop/resources/text_table.h"

int main(int argc, char** argv) {
  // Never destroyed: the pages' workers may outlive main().
  static corvash::session::UpdateSession* const run = new corvash::session::UpdateSession;
  static corvash::qt::DesktopReadmeViewer* const readme = new corvash::qt::DesktopReadmeViewer(run->paths);
  const auto services = [](corvash::session::PageHost&, corvash::image::FileChooser&) {
    return corvash::pages::PageServices{.readmeViewer = *readme};
  };
  return corvash::qt::RunQtProgram(argc, argv, *run, services, [](corvash::session::PageHost& host, corvash::image::FileChooser&) {
    corvash::resources::LoadTextTable();
    if (host.RunPage(corvash::session::kPageWelcome) != 0) return 0;
    host.ShowWaitBox();
    corvash::common::SleepMs(1500);
    host.CloseWaitBox();
    if (host.RunPage(corvash::session::kPageConfirm) == 1) host.RunPage(corvash::session::kPageFinish);
    return 0;
  });
}
