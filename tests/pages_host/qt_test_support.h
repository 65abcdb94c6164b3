#pragma once
// What the Qt host tests share: one offscreen application for the whole
// test program (its thread, the test's main thread, is the GUI thread), a
// small resource script of test pages, procedures that record what they
// saw, and a pump that runs the GUI thread until a condition holds.
#include <QApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/pages/page_dialog.h"
#include "desktop/qt/qt_page_host.h"
#include "desktop/resources/resource_script.h"

namespace corvash::pages::test {

// Test templates.
inline constexpr int kAckPage = 900;        // check box 1203, button 1 disabled, button 2, text 1000
inline constexpr int kQuitOnlyPage = 901;   // only button 1175, text 1000
inline constexpr int kBarPage = 902;        // no caption, no buttons: progress 1020, text 1023
inline constexpr int kWaitBox = 122;        // no caption, text 1072

QApplication& TestApplication();
const resources::ResourceScript& TestScript();

// Runs the GUI thread until `done` holds; false when `limit` passed first.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

inline bool OnGuiThread() { return QThread::currentThread() == TestApplication().thread(); }

// What a recording procedure saw, in order.
struct ProcedureEvent {
  std::string what;  // "open", "command", "timer", "message", "closed"
  int id = 0;
  bool onGuiThread = false;
};

class ProcedureLog {
 public:
  void Add(std::string what, int id) {
    std::lock_guard lock(mutex_);
    events_.push_back({std::move(what), id, OnGuiThread()});
  }
  std::vector<ProcedureEvent> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  // Ids of the events named `what`.
  std::vector<int> Ids(const std::string& what) const;

 private:
  mutable std::mutex mutex_;
  std::vector<ProcedureEvent> events_;
};

// A procedure that records every call and then runs the test's handler.
class RecordingProcedure final : public PageProcedure {
 public:
  using Handler = std::function<void(PageDialog&, int)>;
  RecordingProcedure(ProcedureLog& log, Handler onCommand, Handler onTimer = nullptr)
      : log_(log), onCommand_(std::move(onCommand)), onTimer_(std::move(onTimer)) {}

  void OnOpen(PageDialog& page) override {
    log_.Add("open", page.TemplateId());
    page.SetText(1000, "opened");
  }
  void OnCommand(PageDialog& page, int commandId) override {
    log_.Add("command", commandId);
    if (onCommand_) onCommand_(page, commandId);
  }
  void OnTimer(PageDialog& page, int timerId) override {
    log_.Add("timer", timerId);
    if (onTimer_) onTimer_(page, timerId);
  }
  void OnMessage(PageDialog& page, int message) override {
    log_.Add("message", message);
    if (message == kMessageCloseWaitBox) page.End(1);
  }
  void OnClosed(PageDialog& page) override { log_.Add("closed", page.TemplateId()); }

 private:
  ProcedureLog& log_;
  Handler onCommand_;
  Handler onTimer_;
};

// Host fixture: a host on the test script whose procedures record into
// `log_`; `onCommand_` decides what commands do (default: buttons 1, 2
// and 1175 end the page with their id).
class QtHostFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }
  void SetUp() override;
  void TearDown() override;

  // The open page of `templateId`, waiting for it to open.
  std::shared_ptr<qt::QtPage> WaitForPage(int templateId);

  ProcedureLog log_;
  RecordingProcedure::Handler onCommand_;
  RecordingProcedure::Handler onTimer_;
  std::unique_ptr<qt::QtPageHost> host_;
};

}  // namespace corvash::pages::test
