#include "desktop/app/driver/program_start.h"

#include <cstdio>

#include "desktop/app/driver/unlinked_operations.h"
#include "desktop/app/driver/wizard_driver.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "desktop/platform/instance_lock.h"
#include "desktop/platform/prefix.h"

namespace corvash::driver {
namespace {

constexpr int kExitLockUnusable = 2;

}  // namespace

int RunProgram(session::PageHost& pageHost, session::UpdateSession& run, PageTexts& pageTexts,
               const WizardOperations& operations) {
  platform::InstanceLock lock(platform::InstanceLockPath());
  if (!lock.TryAcquire()) {
    if (lock.Problem().empty()) return 0;  // the first instance runs; this one ends unseen
    // Unguarded, a second program could flash the same handheld: refuse.
    std::fprintf(stderr, "corvash: %s; not starting\n", lock.Problem().c_str());
    return kExitLockUnusable;
  }

  pageTexts.LoadPageTexts();
  run.serialLink = 1;
  run.flow.mainWindow = 1;
  RunWizard({operations, pageHost, run});
  // A box that a failing operation left open goes with the run.
  pageHost.CloseWaitBox();
  session::CloseMainWindow(run.flow);
  return 0;
}

int RunProgram(session::PageHost& pageHost, session::UpdateSession& run) {
  UnlinkedOperations unlinked;
  return RunProgram(pageHost, run, unlinked.Texts(), unlinked.Operations());
}

}  // namespace corvash::driver
