// Options page (109): the connected device, and the choice of update,
// restore of a backup, or backup of the current ROM.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_languages.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {
namespace {

constexpr int kUpdateButton = 1035;
constexpr int kRestoreButton = 1036;
constexpr int kBackupButton = 1030;
constexpr int kBackupChosen = 1000;
constexpr WizardButtons kButtons{
    .nextResult = 0, .cancelResult = 1, .backResult = 1, .backFlag = &session::WizardFlow::backFromOptions};

class OptionsPage final : public PageProcedure {
 public:
  explicit OptionsPage(BackupTargetChooser& backupTarget) : backupTarget_(backupTarget) {}

  void OnOpen(PageDialog& page) override {
    const session::UpdateSession& session = session::Session();
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{1064, 11051},
                     {1065, 11052},
                     {kUpdateButton, 11055},
                     {1069, 11053},
                     {kRestoreButton, 11056},
                     {1070, 11054},
                     {kBackupButton, 11018},
                     {1072, 11172},
                     {1071, 11031},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetText(1066, LabelValue(PageText(11042), platform::TextOf(session.handheld.deviceModel)));
    page.SetText(1067, LabelValue(PageText(11043), platform::TextOf(session.handheld.deviceVersion)));
    page.SetText(1068, LanguageLineByName(platform::TextOf(session.handheld.deviceLanguage)));
  }

  void OnCommand(PageDialog& page, int commandId) override {
    switch (commandId) {
      case kUpdateButton:
      case kRestoreButton:
        page.End(commandId);
        break;
      case kBackupButton:
        if (backupTarget_.ChooseBackupTarget(page) == 1) {
          page.End(kBackupChosen);
        } else {
          page.SetPageVisible(true);  // the choice may have hidden the page
        }
        break;
      default:
        // "Abbrechen", "Zurück", and Enter as command 1 (the page has no "Weiter").
        HandleWizardButton(page, commandId, kButtons);
        break;
    }
  }

 private:
  BackupTargetChooser& backupTarget_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeOptionsPage(BackupTargetChooser& backupTarget) {
  return std::make_unique<OptionsPage>(backupTarget);
}

}  // namespace corvash::pages
