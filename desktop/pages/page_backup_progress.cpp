// Backup progress page (132): the bar and figure of the backup pull. It has
// no buttons; BackupWorker, started when the page opens, drives them and
// says how the pull ended, and the page then ends itself and shows the
// screen the pull names.
#include <memory>

#include "desktop/pages/page_link.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kBackupDone = 1;
constexpr int kBackupFailed = 2;

// Ends the page as `ending` says. A failure shows its screen first: one that
// ends the run over the hidden page, then the run closes; any other before
// the page ends with 2, so that the driver goes on only once the screen has
// been seen.
void Conclude(const BackupEnding& ending, session::WorkerPage& page, session::PageHost& host,
              session::WizardFlow& flow) {
  if (ending.complete) {
    page.End(kBackupDone);
    return;
  }
  if (ending.screen == 0) return;
  if (ending.endsRun) page.Hide();
  host.RunPage(ending.screen);
  if (ending.endsRun) {
    session::CloseMainWindow(flow);
  } else {
    page.End(kBackupFailed);
  }
}

class BackupProgressPage final : public PageProcedure {
 public:
  BackupProgressPage(BackupWorker& worker, const PageRun& run) : worker_(worker), run_(run) {}

  void OnOpen(PageDialog& page) override {
    const bool serial = run_.values.serialLink.load() == 1;
    FillTexts(page, {{kBackupHeading, kTextBackupUnderWay},
                     {kBackupWarning, kTextBackupKeepConnected},
                     {kBackupDuration, serial ? kTextBackupSerialDuration : kTextBackupUsbDuration}});
    page.SetColouring(kBackupWarning, Colouring::kRedText);
    link_ = std::make_shared<PageLink>(page);
    std::shared_ptr<PageLink> link = link_;
    const bool started = StartWorkerThread([&worker = worker_, run = run_, link] {
      Conclude(worker.RunBackupWorker(*link), *link, run.host, run.values.flow);
      // A pull that gave up must not leave the page open.
      link->End(kBackupFailed);
    });
    if (!started) page.End(kBackupFailed);
  }

  void OnCommand(PageDialog&, int) override {}

  void OnClosed(PageDialog&) override {
    if (link_) link_->Detach();
  }

 private:
  BackupWorker& worker_;
  const PageRun run_;
  std::shared_ptr<PageLink> link_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeBackupProgressPage(BackupWorker& worker, const PageRun& run) {
  return std::make_unique<BackupProgressPage>(worker, run);
}

}  // namespace corvash::pages
