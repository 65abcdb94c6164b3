// Boot-mode instructions page (169): restart the device into its boot
// loader. "Weiter" opens only once the boot-loader watch has found the
// loader on a port.
#include <memory>
#include <mutex>

#include "desktop/session/update_session.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_watches.h"
#include "desktop/pages/page_procedures.h"
#include "desktop/pages/page_support.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {

constexpr WizardButtons kButtons{
    .nextResult = 1, .cancelResult = 0, .backResult = 0, .backFlag = &session::WizardFlow::backFromBootInstructions};

class BootModePage final : public PageProcedure {
 public:
  BootModePage(BootLoaderWatch& watch, session::WizardFlow& flow, PageWatches& watches)
      : watch_(watch), flow_(flow), watches_(watches) {}

  void OnOpen(PageDialog& page) override {
    OpenCaptionedPage(page, Picture::kButtons);
    FillTexts(page, {{kBootSteps, kTextBootSteps},
                     {kBootKeys, kTextBootKeys},
                     {kBootReconnect, kTextBootReconnect},
                     {kBootContinueHint, kTextContinueOrCancel},
                     {kButtonNext, kTextWeiter},
                     {kButtonCancel, kTextAbbrechen}});
    page.Enable(kButtonNext, false);
    link_ = std::make_shared<PageLink>(page);
    stop_ = std::make_shared<std::atomic<uint32_t>>(0);
    std::shared_ptr<PageLink> link = link_;
    std::shared_ptr<std::atomic<uint32_t>> stop = stop_;
    // Two port tests never run at once: the watch of a page opened again
    // waits until the previous one has seen its stop flag.
    StartWorkerThread([&watch = watch_, turn = watches_.BootLoaderWatchTurn(), link, stop] {
      std::lock_guard running(*turn);
      if (stop->load() == 0) watch.RunBootLoaderWatch(*link, *stop);
    });
  }

  void OnCommand(PageDialog& page, int commandId) override {
    switch (commandId) {
      case kButtonNext:
        // Enter reaches here too: no flash before the boot loader has answered.
        if (!page.IsEnabled(kButtonNext)) break;
        [[fallthrough]];
      case kButtonCancel:
      case kButtonBack:
        StopWatch();  // every button ends the watch
        HandleWizardButton(page, commandId, kButtons, flow_);
        break;
      default:
        break;
    }
  }

  void OnClosed(PageDialog&) override {
    StopWatch();
    if (link_) link_->Detach();
  }

 private:
  void StopWatch() {
    if (stop_) stop_->store(1);
  }

  BootLoaderWatch& watch_;
  session::WizardFlow& flow_;
  PageWatches& watches_;
  std::shared_ptr<PageLink> link_;
  std::shared_ptr<std::atomic<uint32_t>> stop_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeBootModePage(BootLoaderWatch& watch, session::WizardFlow& flow, PageWatches& watches) {
  return std::make_unique<BootModePage>(watch, flow, watches);
}

}  // namespace corvash::pages
