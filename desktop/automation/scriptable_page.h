#pragma once
// An open page as the autopilot and the onlookers of a host reach it: its
// template, whether it waits for a user, its controls' enabled state, and a
// click posted to its thread.
#include <functional>

namespace corvash::automation {

enum class ClickOutcome { kHandled, kNoSuchControl, kNotCheckBox, kDisabled, kHidden, kPageEnded };

// An open page as the autopilot reaches it; implemented by the host.
class ScriptablePage {
 public:
  virtual ~ScriptablePage() = default;
  virtual int TemplateId() const = 0;
  // False for pages that end by themselves (no button, no check box).
  virtual bool NeedsUser() const = 0;
  // True while the page's procedure handles a command (a click or a key):
  // the page is busy, not waiting for its user.
  virtual bool Busy() const = 0;
  // The control's enabled state as the page last showed it; false for a
  // control the page does not have. Never blocks on the page thread.
  virtual bool IsControlEnabled(int controlId) const = 0;
  // Delivers a click on control `controlId` to the page thread and returns
  // at once. `checkBox`: the control must be a check box; it is toggled and
  // its command sent. Otherwise the control must be a button, or be 1 or 2
  // absent from the page (Enter, Escape). `done` runs once, on the page
  // thread, after the command has been handled, or with the reason the
  // click could not be made.
  virtual void PostClick(int controlId, bool checkBox, std::function<void(ClickOutcome)> done) = 0;
};

}  // namespace corvash::automation
