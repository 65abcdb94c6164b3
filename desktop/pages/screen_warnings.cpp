// WARNUNG 111 (105), mains power not plugged in, and WARNUNG 112 (152), the
// chosen backup file exists already.
#include "desktop/pages/page_watches.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kMainsOnline = 1;

// The watch outlives each warning and serves whichever opens next.
void StartPowerWatchOnce(PowerWatch& watch, const std::shared_ptr<PageWatches::PowerWatchState>& state) {
  if (state->running.exchange(true)) return;
  const bool started = StartWorkerThread([&watch, state] {
    watch.RunPowerWatch(state->openWarning);
    state->running.store(false);
  });
  if (!started) state->running.store(false);
}

class PowerWarning final : public PageProcedure {
 public:
  PowerWarning(PowerWatch& power, PageWatches& watches) : power_(power), watches_(watches) {}

  void OnOpen(PageDialog& page) override {
    OpenScreen(page,
               {{kPowerWarningHeading, kTextPowerWarningHeading},
                {{kPowerWarningAdvice, kTextPowerWarningAdvice}, {kPowerWarningContinueHint, kTextContinueOrCancel}},
                0});
    SetPageText(page, kButtonNext, kTextWeiter);
    SetPageText(page, kButtonCancel, kTextAbbrechen);
    watches_.Power()->openWarning.Attach(page);
    StartPowerWatchOnce(power_, watches_.Power());
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

  void OnClosed(PageDialog& page) override { watches_.Power()->openWarning.DetachFrom(page); }

 private:
  PowerWatch& power_;
  PageWatches& watches_;
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

std::unique_ptr<PageProcedure> MakePowerWarning(PowerWatch& power, PageWatches& watches) {
  return std::make_unique<PowerWarning>(power, watches);
}
std::unique_ptr<PageProcedure> MakeFileExistsWarning() { return std::make_unique<FileExistsWarning>(); }

}  // namespace corvash::pages
