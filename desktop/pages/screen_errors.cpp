// The plain error screens: a heading, an explanation, "Klicken Sie auf
// "Beenden"..." and one "Beenden" button that ends the screen with 1.
#include "desktop/session/update_session.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"
#include "common/clock.h"

namespace corvash::pages {
namespace {

struct ErrorScreenEntry {
  int templateId;
  ScreenLayout layout;
  bool enterEndsWithZero = false;  // FEHLER 109: Enter ends the screen with 0
  bool closesMainWindow = false;   // FEHLER 103: "Beenden" ends the run itself
};

const std::vector<ErrorScreenEntry>& ErrorScreens() {
  static const std::vector<ErrorScreenEntry> screens = {
      {138, {{1091, 11075}, {{1135, 11116}, {1092, kTextClickToQuit}}}},                       // 101
      {139, {{1093, 11076}, {{1137, 11117}, {1094, kTextClickToQuit}}}},                       // 102
      {140, {{1095, 11077}, {{1136, 11118}, {1096, kTextClickToQuit}}}, false, true},          // 103
      {141, {{1097, 11078}, {{1141, 11119}, {1098, kTextClickToQuit}}}},                       // 104
      {144, {{1106, 11083}, {{1142, 11121}, {1107, kTextClickToQuit}}}},                       // 106
      {145, {{1108, 11084}, {{1115, 11089}, {1109, 11122}, {1143, kTextClickToQuit}}}},        // 107
      {147, {{1113, 11088}, {{1114, 11124}, {1149, kTextClickToQuit}}}, true},                 // 109
      {165, {{1172, 11146}, {{1173, 11147}, {1174, kTextClickToQuit}}, kScreenQuitButton}},    // 115
      {268, {{1224, 11189}, {{1225, 11190}}, kScreenQuitButton}},                              // 116
      {269, {{1206, 11173}, {{1207, 11174}, {1208, kTextClickToQuit}}, kScreenQuitButton}},    // 117
  };
  return screens;
}

constexpr uint32_t kAfterCloseWaitMs = 1000;

class ErrorScreen final : public PageProcedure {
 public:
  explicit ErrorScreen(const ErrorScreenEntry& entry) : entry_(entry) {}

  void OnOpen(PageDialog& page) override { OpenScreen(page, entry_.layout); }

  void OnCommand(PageDialog& page, int commandId) override {
    if (page.Ended()) return;
    if (commandId == entry_.layout.quitButton) {
      if (entry_.closesMainWindow) {
        session::CloseMainWindow();
        closedMainWindow_ = true;
      }
      page.End(1);
    } else if (commandId == kCommandOk && entry_.enterEndsWithZero) {
      page.End(0);
    }
  }

  void OnClosed(PageDialog&) override {
    if (closedMainWindow_) platform::SleepMs(kAfterCloseWaitMs);
  }

 private:
  const ErrorScreenEntry& entry_;
  bool closedMainWindow_ = false;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeErrorScreen(int templateId) {
  for (const ErrorScreenEntry& entry : ErrorScreens()) {
    if (entry.templateId == templateId) return std::make_unique<ErrorScreen>(entry);
  }
  return nullptr;
}

}  // namespace corvash::pages
