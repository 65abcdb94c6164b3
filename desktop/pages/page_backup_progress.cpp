// Backup progress page (132): the bar and figure of the backup pull. It has
// no buttons; BackupWorker, started when the page opens, ends it.
#include <memory>

#include "desktop/session/update_session.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {
namespace {

constexpr int kBackupFailed = 2;

class BackupProgressPage final : public PageProcedure {
 public:
  explicit BackupProgressPage(BackupWorker& worker) : worker_(worker) {}

  void OnOpen(PageDialog& page) override {
    const bool serial = session::Session().serialLink.load() == 1;
    FillTexts(page, {{kBackupHeading, kTextBackupUnderWay},
                     {kBackupWarning, kTextBackupKeepConnected},
                     {kBackupDuration, serial ? kTextBackupSerialDuration : kTextBackupUsbDuration}});
    page.SetColouring(kBackupWarning, Colouring::kRedText);
    link_ = std::make_shared<PageLink>(page);
    std::shared_ptr<PageLink> link = link_;
    const bool started = StartWorkerThread([&worker = worker_, link] {
      worker.RunBackupWorker(*link);
      // A worker that gave up without ending the page must not leave it open.
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
  std::shared_ptr<PageLink> link_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeBackupProgressPage(BackupWorker& worker) {
  return std::make_unique<BackupProgressPage>(worker);
}

}  // namespace corvash::pages
