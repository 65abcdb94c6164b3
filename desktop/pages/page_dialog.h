#pragma once
// What a page procedure sees of its open page, and what it must answer.
// A host (the Qt host, the autopilot on top of it, or a test double) builds
// the page from its dialog template and calls the procedure; the procedure
// only talks to the PageDialog. Every PageDialog member may be called from
// any thread: a host runs calls from worker threads on the page's own thread
// and returns when they are done, as synchronous window messages do.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace corvash::pages {

// Commands 1 and 2 also stand for the Enter and Escape keys.
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandCancel = 2;
// Private message that ends the wait box (first user message plus 50).
inline constexpr int kMessageCloseWaitBox = 1074;

enum class Picture { kNone, kMain, kButtons };  // mainPicture (171), buttonPicture (169)
enum class Colouring { kDefault, kRedText, kRedBackground };

class PageDialog {
 public:
  virtual ~PageDialog() = default;
  virtual int TemplateId() const = 0;

  virtual void SetCaption(std::string_view text) = 0;
  virtual void SetText(int controlId, std::string_view text) = 0;
  virtual std::string Text(int controlId) const = 0;
  virtual void Enable(int controlId, bool enabled) = 0;
  virtual bool IsEnabled(int controlId) const = 0;
  virtual void ShowControl(int controlId, bool visible) = 0;
  virtual bool IsChecked(int controlId) const = 0;

  // The heading font of the page (CreateTitleFont) on a control; a bold
  // (weight 700) copy of the page font on another.
  virtual void SetTitleFont(int controlId) = 0;
  virtual void SetBoldFont(int controlId) = 0;
  virtual void SetColouring(int controlId, Colouring colouring) = 0;
  // The picture painted at client position (10, 10).
  virtual void SetPicture(Picture picture) = 0;

  virtual void SetProgressRange(int controlId, uint32_t low, uint32_t high) = 0;
  virtual void SetProgressPosition(int controlId, uint32_t position) = 0;

  // Timers in system milliseconds (scaled by the clock); setting a running
  // timer re-arms it. Expiry calls PageProcedure::OnTimer on the page thread.
  virtual void SetTimer(int timerId, uint32_t ms) = 0;
  virtual void KillTimer(int timerId) = 0;

  // Hides or shows the whole page (the options page hides itself while a
  // nested page is open); the wait cursor over the page.
  virtual void SetPageVisible(bool visible) = 0;
  virtual void SetWaitCursor(bool on) = 0;

  // Ends the page with `result`; later calls are ignored.
  virtual void End(int result) = 0;
  virtual bool Ended() const = 0;
};

class PageProcedure {
 public:
  virtual ~PageProcedure() = default;
  // The initialisation message: set texts, fonts, colours, start workers.
  virtual void OnOpen(PageDialog& page) = 0;
  // A button press or the Enter (1) / Escape (2) keys.
  virtual void OnCommand(PageDialog& page, int commandId) = 0;
  virtual void OnTimer(PageDialog& /*page*/, int /*timerId*/) {}
  // Private messages such as kMessageCloseWaitBox.
  virtual void OnMessage(PageDialog& /*page*/, int /*message*/) {}
  // Called once after the page has ended (release what the page holds).
  virtual void OnClosed(PageDialog& /*page*/) {}
};

}  // namespace corvash::pages
