#pragma once
// What a host tells the onlookers of its pages (the transcript, the
// autopilot): a page opened, a control got a text or changed its enabled
// state, a page ended. The host calls these on its page thread, in the order
// the events happen, and holds none of its own locks while it does.
#include <memory>
#include <string_view>

namespace corvash::automation {

class ScriptablePage;

class PageObserver {
 public:
  virtual ~PageObserver() = default;
  virtual void PageOpened(const std::shared_ptr<ScriptablePage>& /*page*/) {}
  virtual void TextSet(int /*templateId*/, int /*controlId*/, std::string_view /*text*/) {}
  virtual void EnabledChanged(int /*templateId*/, int /*controlId*/, bool /*enabled*/) {}
  virtual void PageEnded(const ScriptablePage& /*page*/, int /*result*/) {}
};

}  // namespace corvash::automation
