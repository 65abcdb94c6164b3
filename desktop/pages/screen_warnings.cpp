// WARNUNG 111 (105), mains power not plugged in, and WARNUNG 112 (152), the
// chosen backup file exists already.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kMainsOnline = 1;

// The power warning that is open, as the power watch reaches it. The watch
// outlives each warning and serves whichever opens next (and may outlive
// main(), so the link is never destroyed).
PageLink& OpenPowerWarning() {
  static PageLink* const link = new PageLink;
  return *link;
}

std::atomic<bool>& PowerWatchRunning() {
  static std::atomic<bool> running{false};
  return running;
}

void StartPowerWatchOnce(PowerWatch& watch) {
  if (PowerWatchRunning().exchange(true)) return;
  const bool started = StartWorkerThread([&watch] {
    watch.RunPowerWatch(OpenPowerWarning());
    PowerWatchRunning().store(false);
  });
  if (!started) PowerWatchRunning().store(false);
}

class PowerWarning final : public PageProcedure {
 public:
  explicit PowerWarning(PowerWatch& power) : power_(power) {}

  void OnOpen(PageDialog& page) override {
    OpenScreen(page,
               {{kPowerWarningHeading, kTextPowerWarningHeading},
                {{kPowerWarningAdvice, kTextPowerWarningAdvice}, {kPowerWarningContinueHint, kTextContinueOrCancel}},
                0});
    SetPageText(page, kButtonNext, kTextWeiter);
    SetPageText(page, kButtonCancel, kTextAbbrechen);
    OpenPowerWarning().Attach(page);
    StartPowerWatchOnce(power_);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonNext) {
      // Asked once more: on battery the screen stays; a device that cannot
      // be asked lets the user through.
      const int mains = power_.QueryMainsStatus();
      if (mains >= 0 && mains != kMainsOnline) return;
      page.End(0);
    } else if (commandId == kButtonCancel) {
      page.End(1);
    }
  }

  void OnClosed(PageDialog& page) override { OpenPowerWarning().DetachFrom(page); }

 private:
  PowerWatch& power_;
};

class FileExistsWarning final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    OpenScreen(page, {{kFileExistsHeading, kTextFileExistsHeading}, {{kFileExistsChoice, kTextFileExistsChoice}}, 0});
    SetPageText(page, kButtonNext, kTextWeiter);
    SetPageText(page, kButtonCancel, kTextAbbrechen);
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonNext) page.End(1);
    if (commandId == kButtonCancel) page.End(2);
  }
};

}  // namespace

bool PowerWatchIsRunning() { return PowerWatchRunning().load(); }

std::unique_ptr<PageProcedure> MakePowerWarning(PowerWatch& power) { return std::make_unique<PowerWarning>(power); }
std::unique_ptr<PageProcedure> MakeFileExistsWarning() { return std::make_unique<FileExistsWarning>(); }

}  // namespace corvash::pages
