#pragma once
// The Qt host of pages: each page or screen is a modal dialog built from its
// template (qt_page.h) and run by its page procedure.
//
// Threads: the host is made on the GUI thread, which does nothing but run
// dialogs. RunPage from another thread opens the page on the GUI thread and
// blocks its caller until the page ends, as a modal dialog blocks its
// opener; RunPage on the GUI thread itself (a page opening a nested page)
// runs a nested event loop. ShowWaitBox opens the wait box (122) and
// returns at once; CloseWaitBox sends it message 1074. Calls from other
// threads are handled in the order they were made.
#include <QImage>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_services.h"
#include "desktop/pages/page_watches.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"
#include "desktop/automation/page_observer.h"
#include "desktop/qt/qt_page.h"

namespace corvash::resources {
class ResourceScript;
}

namespace corvash::qt {

class GuiDispatcher;

// A fresh procedure for template `templateId`; `host` is the host that opens
// the page (and the screens the page raises).
using ProcedureFactory = std::function<std::unique_ptr<pages::PageProcedure>(int templateId, session::PageHost& host)>;

struct QtPageHostOptions {
  // The templates, texts and pictures; null: the program's own resources.
  const resources::ResourceScript* script = nullptr;
  // A fresh procedure per page; null: the page catalogue with `services`.
  // A template without a procedure gets a plain one: its buttons end it with
  // their own id, Enter with 1, Escape with 2, message 1074 with 1.
  ProcedureFactory makeProcedure{};
  // The services that the catalogue's pages use; left out: the harmless
  // defaults. The objects they refer to must outlive the host.
  pages::PageServices services{};
  // The run whose values the catalogue's pages show and set; null: a blank
  // record of the host's own (previews, tests). It must outlive the host.
  session::UpdateSession* run = nullptr;
};

class QtPageHost final : public session::PageHost, public QtPageSite {
 public:
  explicit QtPageHost(QtPageHostOptions options = {});
  ~QtPageHost() override;
  QtPageHost(const QtPageHost&) = delete;
  QtPageHost& operator=(const QtPageHost&) = delete;

  // PageHost. RunPage returns -1 for a template the resources lack (as a
  // dialog that cannot be made), and 0 once the host has shut down.
  int RunPage(int templateId) override;
  void ShowWaitBox() override;
  void CloseWaitBox() override;

  // Onlookers (not owned); add them before the first page opens.
  void AddObserver(automation::PageObserver* observer);

  // GUI thread: opens page `templateId` without waiting for it. Null (and
  // `onEnded` not called) when the resources lack the template or the host
  // has shut down.
  std::shared_ptr<QtPage> OpenPage(int templateId, std::function<void(int)> onEnded);
  // GUI thread: ends every open page with 0 and serves what other threads
  // have asked for; afterwards RunPage returns 0 and calls from other
  // threads do nothing.
  void Shutdown();

  bool IsGuiThread() const;
  // Runs `work` on the GUI thread and waits for it. False (and `work` not
  // run) once the host has shut down.
  bool RunOnGui(const std::function<void()>& work) override;
  // Queues `work` for the GUI thread and returns at once; dropped once the
  // host has shut down.
  void PostToGui(std::function<void()> work) override;
  // GUI thread: runs what other threads have queued, in their order.
  void RunQueuedWork();

  const resources::ResourceScript& Script() const override { return *script_; }
  const QImage& PictureImage(pages::Picture picture) const override;
  std::vector<std::shared_ptr<QtPage>> OpenPages() const;

  // From the pages (GUI thread).
  void NotifyOpened(const std::shared_ptr<QtPage>& page) override;
  void NotifyText(int templateId, int controlId, std::string_view text) override;
  void NotifyEnabled(int templateId, int controlId, bool enabled) override;
  void NotifyEnded(const QtPage& page, int result) override;

 private:
  struct GuiCall;
  int RunPageHere(int templateId);
  int RunPageFromWorker(int templateId);
  bool Queue(std::shared_ptr<GuiCall> call);

  const resources::ResourceScript* script_;
  std::unique_ptr<session::UpdateSession> ownRun_;
  pages::PageWatches watches_;
  ProcedureFactory makeProcedure_;
  // Wakes the GUI thread for queued work. The work itself travels through
  // queue_ under mutex_, so that the hand-over from a worker to the GUI
  // thread and back is ordered by this program's own locks.
  GuiDispatcher* dispatcher_;
  QImage mainPicture_;
  QImage buttonPicture_;
  std::vector<automation::PageObserver*> observers_;
  std::shared_ptr<QtPage> waitBox_;

  mutable std::mutex mutex_;
  bool closed_ = false;
  std::deque<std::shared_ptr<GuiCall>> queue_;
  std::vector<std::shared_ptr<QtPage>> pages_;  // every page made, kept for late workers
};

}  // namespace corvash::qt
