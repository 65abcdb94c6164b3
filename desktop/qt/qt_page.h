#pragma once
// One open page of the Qt host: its window built from the dialog template,
// its page procedure, and the PageDialog that the procedure and its workers
// use.
//
// Threads: the window and the procedure live on the GUI thread. Every
// PageDialog member may be called from any thread; a call from another
// thread runs on the GUI thread and returns when it is done. Text,
// IsEnabled, IsChecked and Ended answer from the page's own record under a
// lock, so they never wait for the GUI thread. Once the page has ended,
// every change is ignored. The object outlives its window (the host keeps
// it), so a worker that still holds it after the page ended is safe.
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/pages/page_dialog.h"
#include "desktop/qt/qt_page_controls.h"
#include "desktop/automation/scriptable_page.h"

class QDialog;
class QImage;
class QTimer;

namespace corvash::resources {
struct DialogTemplate;
class ResourceScript;
}

namespace corvash::qt {

class QtPage;
class QtPageWindow;

// The string table text that every page shows as its window's caption.
inline constexpr int kCaptionText = 11035;

// What a page asks of the host that runs it (QtPageHost, qt_page_host.h):
// its resources, the GUI thread, and telling the host's onlookers. Calls as
// the host documents them.
class QtPageSite {
 public:
  virtual const resources::ResourceScript& Script() const = 0;
  virtual const QImage& PictureImage(pages::Picture picture) const = 0;
  virtual bool RunOnGui(const std::function<void()>& work) = 0;
  virtual void PostToGui(std::function<void()> work) = 0;
  virtual void NotifyOpened(const std::shared_ptr<QtPage>& page) = 0;
  virtual void NotifyText(int templateId, int controlId, std::string_view text) = 0;
  virtual void NotifyEnabled(int templateId, int controlId, bool enabled) = 0;
  virtual void NotifyEnded(const QtPage& page, int result) = 0;

 protected:
  ~QtPageSite() = default;
};

class QtPage final : public pages::PageDialog, public automation::ScriptablePage, public std::enable_shared_from_this<QtPage> {
 public:
  // `onEnded` runs once on the GUI thread with the result, after OnClosed.
  QtPage(QtPageSite& host, const resources::DialogTemplate& dialog, std::unique_ptr<pages::PageProcedure> procedure,
         std::function<void(int)> onEnded);
  ~QtPage() override;

  // GUI thread: builds the window, tells the onlookers, runs the
  // procedure's OnOpen, centres the page and shows it (unless OnOpen ended it).
  void Open();
  // GUI thread: a private message for the procedure (the wait box's 1074).
  void DeliverMessage(int message);
  // GUI thread: the Enter (1) and Escape or close box (2) commands. Ignored
  // while the page has control 1 (or 2) and that control is disabled.
  void KeyCommand(int commandId);
  // GUI thread: a click on one of the page's buttons or check boxes.
  void ControlCommand(int commandId);
  // The page's window while it is open (GUI thread), null afterwards.
  QDialog* Window() const;
  int Result() const;
  pages::Picture CurrentPicture() const;

  // PageDialog
  int TemplateId() const override;
  void SetCaption(std::string_view text) override;
  void SetText(int controlId, std::string_view text) override;
  std::string Text(int controlId) const override;
  void Enable(int controlId, bool enabled) override;
  bool IsEnabled(int controlId) const override;
  void ShowControl(int controlId, bool visible) override;
  bool IsChecked(int controlId) const override;
  void SetTitleFont(int controlId) override;
  void SetBoldFont(int controlId) override;
  void SetColouring(int controlId, pages::Colouring colouring) override;
  void SetPicture(pages::Picture picture) override;
  void SetProgressRange(int controlId, uint32_t low, uint32_t high) override;
  void SetProgressPosition(int controlId, uint32_t position) override;
  void SetTimer(int timerId, uint32_t ms) override;
  void KillTimer(int timerId) override;
  void SetPageVisible(bool visible) override;
  void SetWaitCursor(bool on) override;
  void End(int result) override;
  bool Ended() const override;

  // ScriptablePage
  bool NeedsUser() const override;
  bool Busy() const override;
  bool IsControlEnabled(int controlId) const override;
  void PostClick(int controlId, bool checkBox, std::function<void(automation::ClickOutcome)> done) override;

 private:
  struct ControlState {
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    ControlRole role = ControlRole::kOther;
  };

  // Runs `change` on the GUI thread while the page is open.
  void OnPage(const std::function<void()>& change);
  // The first control with `controlId` (GUI thread), null when none.
  const BuiltControl* Control(int controlId) const;
  void FireTimer(int timerId);
  // Runs the procedure's OnCommand, counted as busy.
  void RunCommand(int commandId);
  automation::ClickOutcome Click(int controlId, bool checkBox);
  void CentreOnScreen();
  void Finish(int result);

  QtPageSite& host_;
  const resources::DialogTemplate& dialog_;
  std::unique_ptr<pages::PageProcedure> procedure_;
  std::function<void(int)> onEnded_;
  bool needsUser_ = false;

  // GUI thread only.
  QPointer<QtPageWindow> window_;
  std::vector<BuiltControl> controls_;
  std::map<int, QTimer*> timers_;

  // The page's record, readable from any thread.
  mutable std::mutex stateMutex_;
  std::map<int, ControlState> state_;
  bool ended_ = false;
  int result_ = 0;
  int commandsRunning_ = 0;  // nested command handlers now running
  pages::Picture picture_ = pages::Picture::kNone;
};

}  // namespace corvash::qt
