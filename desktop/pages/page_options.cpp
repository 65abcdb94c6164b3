// Options page (109): the connected device, and the choice of update,
// restore of a backup, or backup of the current ROM.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_languages.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr int kBackupChosen = 1000;
constexpr WizardButtons kButtons{
    .nextResult = 0, .cancelResult = 1, .backResult = 1, .backFlag = &session::WizardFlow::backFromOptions};

class OptionsPage final : public PageProcedure {
 public:
  OptionsPage(BackupTargetChooser& backupTarget, const session::HandheldIdentity& handheld, session::WizardFlow& flow)
      : backupTarget_(backupTarget), handheld_(handheld), flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kDeviceInformation, kTextDeviceInformation},
                     {kChooseOption, kTextChooseOption},
                     {kUpdateButton, kTextAktualisieren},
                     {kUpdateOption, kTextUpdateOption},
                     {kRestoreButton, kTextWiederherstellen},
                     {kRestoreOption, kTextRestoreOption},
                     {kBackupButton, kTextSichern},
                     {kBackupOption, kTextBackupOption},
                     {kOptionsCancelHint, kTextClickToCancel},
                     {kButtonCancel, kTextAbbrechen}});
    page.SetText(kDeviceModel, LabelValue(PageText(kTextModel), common::TextOf(handheld_.deviceModel)));
    page.SetText(kDeviceVersion, LabelValue(PageText(kTextDeviceVersion), common::TextOf(handheld_.deviceVersion)));
    page.SetText(kDeviceLanguage, LanguageLineByName(common::TextOf(handheld_.deviceLanguage)));
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
        HandleWizardButton(page, commandId, kButtons, flow_);
        break;
    }
  }

 private:
  BackupTargetChooser& backupTarget_;
  const session::HandheldIdentity& handheld_;
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeOptionsPage(BackupTargetChooser& backupTarget, const session::HandheldIdentity& handheld,
                                               session::WizardFlow& flow) {
  return std::make_unique<OptionsPage>(backupTarget, handheld, flow);
}

}  // namespace corvash::pages
