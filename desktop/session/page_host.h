#pragma once
// How the desktop's operations open pages and screens without knowing the
// GUI: a template id goes in, the page's result comes out. Pages set the
// run's flags themselves. The program makes one host and hands it to whoever
// opens pages. The Qt host, the autopilot and test doubles
// implement it; any thread may call it (the call blocks until the page ends).
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

}  // namespace corvash::session
