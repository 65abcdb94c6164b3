#pragma once
// The autopilot: takes the user's actions from a script (autopilot_script.h)
// and does them on the pages that the host opens.
//
// Steps run in order on a thread of the autopilot's own. When a page opens,
// the steps at the head of the script that name its template run until one
// ends the page. A page without buttons or check boxes (the wait box, the
// progress pages) is left to end by itself. A step naming a template that is
// not open waits for it. The run fails when
//   - a page that needs a user is open, is not busy with a command, and the
//     next step names another page (or is a file answer, or there is no
//     step left),
//   - a file dialog asks for an answer and the next step is not one,
//   - a step presses or checks a control that is disabled, hidden, missing
//     or of the wrong kind, or its page ends during wait-enabled,
//   - a `run` command fails, or a wait lasts longer than its limit.
// A failure calls the fail handler once with the reason (by default: the
// reason on standard error and exit code 3) and stops the autopilot.
//
// Limits: wait-enabled has its own; waiting for a page or a file dialog
// has `pageWaitMs` (scaled), counted from the last page that opened or
// ended, and does not run out while a page that ends by itself is open (its
// own watchdog bounds it).
//
// Threads: the host calls PageOpened/PageEnded/ControlChanged from the page
// thread; file choosers call AnswerFileDialog from any thread. The autopilot
// never waits for the page thread: it reads pages through ScriptablePage,
// which answers from the page's own record, and posts its clicks.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "desktop/automation/autopilot_script.h"
#include "desktop/automation/page_observer.h"
#include "desktop/automation/scriptable_page.h"

namespace corvash::automation {

enum class FileDialogKind { kOpen, kSave };

struct AutopilotOptions {
  uint32_t pageWaitMs = 120000;  // system ms, scaled by the clock
  // Real time the page wait lasts at least, whatever the scale: the work
  // between two pages (device calls, process starts) is not scaled.
  std::chrono::milliseconds pageWaitFloor{20000};
  // Called once on failure; default: reason on stderr, exit code 3.
  std::function<void(const std::string& reason)> fail;
  // Runs a `run` command and returns its exit status; default: /bin/sh -c.
  std::function<int(const std::string& command)> runCommand;
};

class Autopilot final : public PageObserver {
 public:
  Autopilot(std::vector<AutopilotStep> steps, AutopilotOptions options);
  ~Autopilot();
  Autopilot(const Autopilot&) = delete;
  Autopilot& operator=(const Autopilot&) = delete;

  // Starts the step thread.
  void Start();
  // Ends the step thread; a file dialog waiting for an answer gets none
  // (cancelled). `expectDone`: a script with steps left is a failure (the
  // program ended before its user had done everything).
  void Stop(bool expectDone);

  // Host notifications, on the page thread.
  void PageOpened(const std::shared_ptr<ScriptablePage>& page) override;
  void EnabledChanged(int templateId, int controlId, bool enabled) override;
  void PageEnded(const ScriptablePage& page, int result) override;

  // A file dialog asks for its answer; blocks until the script gives one.
  // The chosen path, or nullopt for `file cancel`, a failed or ended run.
  std::optional<std::string> AnswerFileDialog(FileDialogKind kind);

  bool Failed() const;
  // Steps done so far.
  size_t StepsDone() const;

 private:
  struct FileRequest {
    FileDialogKind kind = FileDialogKind::kOpen;
    bool answered = false;
    std::optional<std::string> answer;
  };
  struct OpenPage {
    std::shared_ptr<ScriptablePage> page;
    uint64_t sequence;  // 1 for the first page opened, 2 for the next...
  };
  // What the page thread's click callbacks reach; shared so that a callback
  // that runs late finds it alive.
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t clickToken = 0;
    std::optional<ClickOutcome> clickOutcome;
  };

  void Run();
  bool RunStep(const AutopilotStep& step);
  bool RunFileStep(const AutopilotStep& step);
  bool RunPageStep(const AutopilotStep& step);
  bool Click(const AutopilotStep& step, const std::shared_ptr<ScriptablePage>& page);
  bool WaitEnabled(const AutopilotStep& step, const std::shared_ptr<ScriptablePage>& page);
  bool RunCommand(const AutopilotStep& step);
  void WatchAfterScript();

  // Callers hold shared_->mutex.
  const OpenPage* TopUserPage() const;
  bool IsOpen(const ScriptablePage* page) const;
  bool SelfEndingPageOpen() const;
  bool PageWaitExpired() const;
  bool FileRequestPending() const { return fileRequest_ != nullptr && !fileRequest_->answered; }
  bool Stopping() const { return stopping_ || failed_; }
  // Records the failure, releases `lock` and calls the fail handler.
  void Fail(std::unique_lock<std::mutex>& lock, const std::string& reason);

  const std::vector<AutopilotStep> steps_;
  AutopilotOptions options_;
  const std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();

  std::vector<OpenPage> open_;  // in opening order
  uint64_t openings_ = 0;
  std::chrono::steady_clock::time_point lastPageEvent_;
  FileRequest* fileRequest_ = nullptr;
  size_t stepsDone_ = 0;
  bool stopping_ = false;
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace corvash::automation
