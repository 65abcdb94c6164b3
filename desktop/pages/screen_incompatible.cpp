// FEHLER 100 (123): the image does not fit the device. The device's and the
// image's model, version and language stand side by side; the rows that
// differ are marked in red on both sides.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_languages.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"
#include "common/fixed_text.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

struct MismatchRows {
  std::atomic<uint32_t> session::WizardFlow::*flag;
  int deviceRow;
  int imageRow;
};

constexpr MismatchRows kMismatchRows[] = {
    {&session::WizardFlow::modelMismatch, kDeviceModelRow, kImageModelRow},
    {&session::WizardFlow::versionMismatch, kDeviceVersionRow, kImageVersionRow},
    {&session::WizardFlow::languageMismatch, kDeviceLanguageRow, kImageLanguageRow},
};

class IncompatibleImageScreen final : public PageProcedure {
 public:
  explicit IncompatibleImageScreen(session::UpdateSession& run) : run_(run) {}

  void OnOpen(PageDialog& page) override {
    const session::UpdateSession& session = run_;
    OpenScreen(page, {{kIncompatibleHeading, kTextIncompatibleHeading},
                      {{kIncompatibleExplanation, kTextIncompatibleExplanation},
                       {kImageInformation, kTextImageInformation},
                       {kIncompatibleAdvice, kTextIncompatibleAdvice}}});
    page.SetText(kDeviceModelRow, LabelValue(PageText(kTextModel), common::TextOf(session.handheld.deviceModel)));
    page.SetText(kDeviceVersionRow, LabelValue(PageText(kTextDeviceVersion), common::TextOf(session.handheld.deviceVersion)));
    page.SetText(kDeviceLanguageRow, LanguageLineByCode(common::TextOf(session.handheld.deviceLangCode)));
    page.SetText(kImageModelRow, LabelValue(PageText(kTextModel), common::TextOf(session.image.imageModel)));
    page.SetText(kImageVersionRow, LabelValue(PageText(kTextImageVersion), common::TextOf(session.image.imageVersion)));
    page.SetText(kImageLanguageRow, LanguageLineByName(common::TextOf(session.image.imageLanguage)));
    for (const MismatchRows& rows : kMismatchRows) {
      if ((session.flow.*rows.flag).load() == 0) continue;
      page.SetColouring(rows.deviceRow, Colouring::kRedBackground);
      page.SetColouring(rows.imageRow, Colouring::kRedBackground);
    }
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId != kCommandOk && commandId != kCommandCancel) return;
    for (const MismatchRows& rows : kMismatchRows) (run_.flow.*rows.flag).store(0);
    page.End(commandId == kCommandOk ? 0 : 1);
  }

 private:
  session::UpdateSession& run_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeIncompatibleImageScreen(session::UpdateSession& run) {
  return std::make_unique<IncompatibleImageScreen>(run);
}

}  // namespace corvash::pages
