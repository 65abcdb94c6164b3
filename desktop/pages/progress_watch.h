#pragma once
// The flash progress page (102) as the boot-loader link and the flash code
// see it: the flash's watch, forwarding to whichever progress page is
// attached. It outlives each page, so that a thread that took the watch just
// before the page closed still reaches a live object, which then forwards
// nothing.
#include <atomic>
#include <cstdint>

#include "desktop/bootlink/flash_watch.h"
#include "desktop/pages/page_link.h"
#include "desktop/pages/page_services.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"

namespace corvash::pages {

class ProgressWatch final : public bootlink::FlashWatch {
 public:
  // Forwards to `page` from now on: completion deletes the flash record
  // through `settings`, a fault shows its screen through `host` and closes
  // the main window of `flow`.
  void Attach(PageDialog& page, FlashSettingsWriter& settings, session::PageHost& host, session::WizardFlow& flow);
  void DetachFrom(PageDialog& page) { link_.DetachFrom(page); }

  void SetBarRange(uint32_t low, uint32_t high) override { link_.SetBarRange(low, high); }
  void SetBarPosition(uint32_t position) override { link_.SetBarPosition(position); }
  void SetFigure(uint32_t percent) override { link_.SetFigure(percent); }
  void Hide() override { link_.Hide(); }
  void FlashCompleted() override;
  void ReportFault(bootlink::FlashFault fault) override;
  void ArmWatchdog(uint32_t ms) override;
  void KillWatchdog() override;
  void End(int result) { link_.End(result); }

 private:
  PageLink link_;
  std::atomic<FlashSettingsWriter*> settings_{nullptr};
  std::atomic<session::PageHost*> host_{nullptr};
  std::atomic<session::WizardFlow*> flow_{nullptr};
};

}  // namespace corvash::pages
