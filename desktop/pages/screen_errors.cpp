// The plain error screens: a heading, an explanation, "Klicken Sie auf
// "Beenden"..." and one "Beenden" button that ends the screen with 1.
#include "desktop/session/update_session.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"
#include "common/clock.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

struct ErrorScreenEntry {
  int templateId;
  ScreenLayout layout;
  bool enterEndsWithZero = false;  // FEHLER 109: Enter ends the screen with 0
  bool closesMainWindow = false;   // FEHLER 103: "Beenden" ends the run itself
};

const std::vector<ErrorScreenEntry>& ErrorScreens() {
  static const std::vector<ErrorScreenEntry> screens = {
      {kScreenConnectionError,
       {{kConnectionErrorHeading, kTextConnectionErrorHeading},
        {{kConnectionErrorChecks, kTextConnectionErrorChecks}, {kConnectionErrorQuitHint, kTextClickToQuit}}}},  // 101
      {kScreenChecksumError,
       {{kChecksumErrorHeading, kTextChecksumErrorHeading},
        {{kChecksumErrorAdvice, kTextChecksumErrorAdvice}, {kChecksumErrorQuitHint, kTextClickToQuit}}}},  // 102
      {kScreenImageNotFound,
       {{kImageNotFoundHeading, kTextImageNotFoundHeading},
        {{kImageNotFoundAdvice, kTextImageNotFoundAdvice}, {kImageNotFoundQuitHint, kTextClickToQuit}}},
       false,
       true},  // 103
      {kScreenImageNotOpened,
       {{kImageNotOpenedHeading, kTextImageNotOpenedHeading},
        {{kImageNotOpenedAdvice, kTextImageNotOpenedAdvice}, {kImageNotOpenedQuitHint, kTextClickToQuit}}}},  // 104
      {kScreenAgentNotStarted,
       {{kAgentNotStartedHeading, kTextAgentNotStartedHeading},
        {{kAgentNotStartedAdvice, kTextAgentNotStartedAdvice}, {kAgentNotStartedQuitHint, kTextClickToQuit}}}},  // 106
      {kScreenBackupImpossible,
       {{kBackupImpossibleHeading, kTextBackupImpossibleHeading},
        {{kBackupImpossibleChecks, kTextBackupImpossibleChecks},
         {kBackupInterruptedNote, kTextBackupInterruptedNote},
         {kBackupImpossibleQuitHint, kTextClickToQuit}}}},  // 107
      {kScreenBackupFailed,
       {{kBackupFailedHeading, kTextBackupFailedHeading},
        {{kBackupFailedAdvice, kTextBackupFailedAdvice}, {kBackupFailedQuitHint, kTextClickToQuit}}},
       true},  // 109
      {kScreenActiveSyncTooOld,
       {{kActiveSyncTooOldHeading, kTextActiveSyncTooOldHeading},
        {{kActiveSyncTooOldAdvice, kTextActiveSyncTooOldAdvice}, {kActiveSyncTooOldQuitHint, kTextClickToQuit}},
        kScreenQuitButton}},  // 115
      {kScreenIdentityReadError,
       {{kIdentityReadErrorHeading, kTextIdentityReadErrorHeading},
        {{kIdentityReadErrorAdvice, kTextIdentityReadErrorAdvice}},
        kScreenQuitButton}},  // 116
      {kScreenInvalidModel,
       {{kInvalidModelHeading, kTextInvalidModelHeading},
        {{kInvalidModelAdvice, kTextInvalidModelAdvice}, {kInvalidModelQuitHint, kTextClickToQuit}},
        kScreenQuitButton}},  // 117
  };
  return screens;
}

constexpr uint32_t kAfterCloseWaitMs = 1000;

class ErrorScreen final : public PageProcedure {
 public:
  ErrorScreen(const ErrorScreenEntry& entry, session::WizardFlow& flow) : entry_(entry), flow_(flow) {}

  void OnOpen(PageDialog& page) override { OpenScreen(page, entry_.layout); }

  void OnCommand(PageDialog& page, int commandId) override {
    if (page.Ended()) return;
    if (commandId == entry_.layout.quitButton) {
      if (entry_.closesMainWindow) {
        session::CloseMainWindow(flow_);
        closedMainWindow_ = true;
      }
      page.End(1);
    } else if (commandId == kCommandOk && entry_.enterEndsWithZero) {
      page.End(0);
    }
  }

  void OnClosed(PageDialog&) override {
    if (closedMainWindow_) common::SleepMs(kAfterCloseWaitMs);
  }

 private:
  const ErrorScreenEntry& entry_;
  session::WizardFlow& flow_;
  bool closedMainWindow_ = false;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeErrorScreen(int templateId, session::WizardFlow& flow) {
  for (const ErrorScreenEntry& entry : ErrorScreens()) {
    if (entry.templateId == templateId) return std::make_unique<ErrorScreen>(entry, flow);
  }
  return nullptr;
}

}  // namespace corvash::pages
