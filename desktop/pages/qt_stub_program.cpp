// A short tour of pages that stands in for the wizard driver while the
// driver is not part of the build: the welcome page, the wait box for a
// moment, the confirmation page and the finish page.
#include "desktop/app/driver/program_start.h"
#include "desktop/pages/page_host.h"
#include "desktop/platform/clock.h"
#include "desktop/resources/text_table.h"

namespace corvash::driver {

int RunProgram(pages::PageHost& pageHost) {
  resources::LoadTextTable();
  if (pageHost.RunPage(103) != 0) return 0;
  pageHost.ShowWaitBox();
  platform::SleepMs(1500);
  pageHost.CloseWaitBox();
  if (pageHost.RunPage(124) != 1) return 0;
  pageHost.RunPage(133);
  return 0;
}

}  // namespace corvash::driver
