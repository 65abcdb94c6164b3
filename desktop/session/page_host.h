#pragma once
// How the desktop's operations open pages and screens without knowing the
// GUI: a template id goes in, the page's result comes out. Pages set the
// session's flags themselves. The Qt host, the autopilot and test doubles
// implement it; any thread may call it (the call blocks until the page ends).
#include <atomic>

namespace corvash::session {

class PageHost {
 public:
  virtual ~PageHost() = default;
  // Opens page or screen `templateId` modally; returns its result code.
  virtual int RunPage(int templateId) = 0;
  // The wait box (122): opened on its own, returns at once; closed with
  // message 1074. Closing a box that is not open does nothing.
  virtual void ShowWaitBox() = 0;
  virtual void CloseWaitBox() = 0;
};

// The host of the process. Null until one is installed; operations then
// treat every page as ended with 0.
inline std::atomic<PageHost*> g_pageHost{nullptr};

inline void SetPageHost(PageHost* host) { g_pageHost.store(host); }

inline int RunPage(int templateId) {
  PageHost* host = g_pageHost.load();
  return host != nullptr ? host->RunPage(templateId) : 0;
}
inline void ShowWaitBox() {
  if (PageHost* host = g_pageHost.load()) host->ShowWaitBox();
}
inline void CloseWaitBox() {
  if (PageHost* host = g_pageHost.load()) host->CloseWaitBox();
}

}  // namespace corvash::session
