// FEHLER 100 (123): the image does not fit the device. The device's and the
// image's model, version and language stand side by side; the rows that
// differ are marked in red on both sides.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_languages.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"
#include "common/fixed_text.h"

namespace corvash::pages {
namespace {

constexpr int kTextModel = 11042;
constexpr int kTextDeviceVersion = 11043;
constexpr int kTextImageVersion = 11046;

struct MismatchRows {
  std::atomic<uint32_t> session::WizardFlow::*flag;
  int deviceRow;
  int imageRow;
};

constexpr MismatchRows kMismatchRows[] = {
    {&session::WizardFlow::modelMismatch, 1056, 1060},
    {&session::WizardFlow::versionMismatch, 1057, 1061},
    {&session::WizardFlow::languageMismatch, 1058, 1062},
};

class IncompatibleImageScreen final : public PageProcedure {
 public:
  void OnOpen(PageDialog& page) override {
    const session::UpdateSession& session = session::Session();
    OpenScreen(page, {{1055, 11047}, {{1145, 11115}, {1059, 11049}, {1063, 11050}}});
    page.SetText(1056, LabelValue(PageText(kTextModel), platform::TextOf(session.handheld.deviceModel)));
    page.SetText(1057, LabelValue(PageText(kTextDeviceVersion), platform::TextOf(session.handheld.deviceVersion)));
    page.SetText(1058, LanguageLineByCode(platform::TextOf(session.handheld.deviceLangCode)));
    page.SetText(1060, LabelValue(PageText(kTextModel), platform::TextOf(session.image.imageModel)));
    page.SetText(1061, LabelValue(PageText(kTextImageVersion), platform::TextOf(session.image.imageVersion)));
    page.SetText(1062, LanguageLineByName(platform::TextOf(session.image.imageLanguage)));
    for (const MismatchRows& rows : kMismatchRows) {
      if ((session.flow.*rows.flag).load() == 0) continue;
      page.SetColouring(rows.deviceRow, Colouring::kRedBackground);
      page.SetColouring(rows.imageRow, Colouring::kRedBackground);
    }
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kCommandOk && commandId != kCommandCancel) return;
    session::UpdateSession& session = session::Session();
    for (const MismatchRows& rows : kMismatchRows) (session.flow.*rows.flag).store(0);
    page.End(commandId == kCommandOk ? 0 : 1);
  }
};

}  // namespace

std::unique_ptr<PageProcedure> MakeIncompatibleImageScreen() {
  return std::make_unique<IncompatibleImageScreen>();
}

}  // namespace corvash::pages
