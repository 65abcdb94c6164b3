// Ready page (130): how long the update takes and what the user will see.
#include "desktop/session/update_session.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr WizardButtons kButtons{
    .nextResult = 1, .cancelResult = 2, .backResult = 2, .backFlag = &session::WizardFlow::backFromReady};

// Languages of the first pair of duration texts; all others take the second.
bool HasWesternDurationText(std::string_view language) {
  for (std::string_view western : {"English", "French", "German", "Italian", "Spanish"}) {
    if (common::EqualsNoCase(language, western)) return true;
  }
  return false;
}

int DurationTextId(const session::HandheldIdentity& handheld, bool serial) {
  if (HasWesternDurationText(common::TextOf(handheld.deviceLanguage)))
    return serial ? kTextReadyWesternSerial : kTextReadyWesternUsb;
  return serial ? kTextReadySerial : kTextReadyUsb;
}

class ReadyPage final : public PageProcedure {
 public:
  ReadyPage(const session::HandheldIdentity& handheld, const std::atomic<uint32_t>& serialLink,
            session::WizardFlow& flow)
      : handheld_(handheld), serialLink_(serialLink), flow_(flow) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kMain);
    FillTexts(page, {{kReadyDuration, DurationTextId(handheld_, serialLink_.load() == 1)},
                     {kReadyWhatHappens, kTextReadyWhatHappens},
                     {kReadyContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
  }

  void OnCommand(PageDialog& page, int commandId) override {
    HandleWizardButton(page, commandId, kButtons, flow_);
  }

 private:
  const session::HandheldIdentity& handheld_;
  const std::atomic<uint32_t>& serialLink_;
  session::WizardFlow& flow_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeReadyPage(const session::HandheldIdentity& handheld, const std::atomic<uint32_t>& serialLink,
                                             session::WizardFlow& flow) {
  return std::make_unique<ReadyPage>(handheld, serialLink, flow);
}

}  // namespace corvash::pages
