#pragma once
// PageLink: a WorkerPage over the PageDialog of one open page. The page
// attaches itself when it opens and detaches when it closes; a worker that
// still holds the link afterwards reaches nothing. End through the link
// detaches before it ends the page, so that a worker's later calls are
// dropped rather than sent to a page on its way out.
//
// Hosts keep a PageDialog callable (ignoring calls) after its page has
// ended; the link only guarantees that no call is made after Detach() has
// returned on a thread that then saw the link empty.
#include <atomic>
#include <cstdint>
#include <string_view>

#include "desktop/pages/page_dialog.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/worker_page.h"

namespace corvash::pages {

class PageLink final : public session::WorkerPage {
 public:
  PageLink() = default;
  explicit PageLink(PageDialog& page) : page_(&page) {}

  void Attach(PageDialog& page) { page_.store(&page); }
  void Detach() { page_.store(nullptr); }
  // Detaches only while the link still leads to `page`.
  void DetachFrom(PageDialog& page);
  bool Attached() const { return page_.load() != nullptr; }

  void Enable(int controlId, bool enabled) override;
  void SetText(int controlId, std::string_view text) override;
  void SetBarRange(uint32_t low, uint32_t high) override;
  void SetBarPosition(uint32_t position) override;
  void SetFigure(uint32_t percent) override;
  void Hide() override;
  void End(int result) override;

  // Timers of the attached page (the progress page's watchdog).
  void SetTimer(int timerId, uint32_t ms);
  void KillTimer(int timerId);

 private:
  std::atomic<PageDialog*> page_{nullptr};
};

}  // namespace corvash::pages
