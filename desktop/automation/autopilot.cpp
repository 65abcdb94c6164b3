#include "desktop/automation/autopilot.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/clock.h"

namespace corvash::automation {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollPeriod{50};

void FailAndExit(const std::string& reason) {
  std::fprintf(stderr, "corvash: autopilot: %s\n", reason.c_str());
  std::fflush(nullptr);
  std::_Exit(3);
}

int RunShellCommand(const std::string& command) {
  std::fflush(nullptr);
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string Where(const AutopilotStep& step) {
  return "line " + std::to_string(step.line) + " (" + step.source + ")";
}

std::string OutcomeText(ClickOutcome outcome) {
  switch (outcome) {
    case ClickOutcome::kHandled: return "handled";
    case ClickOutcome::kNoSuchControl: return "the page has no such control";
    case ClickOutcome::kNotCheckBox: return "the control is not a check box";
    case ClickOutcome::kDisabled: return "the control is disabled";
    case ClickOutcome::kHidden: return "the control is hidden";
    case ClickOutcome::kPageEnded: return "the page had ended";
  }
  return "unknown";
}

}  // namespace

Autopilot::Autopilot(std::vector<AutopilotStep> steps, AutopilotOptions options)
    : steps_(std::move(steps)), options_(std::move(options)), lastPageEvent_(Clock::now()) {
  if (!options_.fail) options_.fail = FailAndExit;
  if (!options_.runCommand) options_.runCommand = RunShellCommand;
}

Autopilot::~Autopilot() { Stop(false); }

void Autopilot::Start() {
  std::lock_guard lock(shared_->mutex);
  if (thread_.joinable() || Stopping()) return;
  lastPageEvent_ = Clock::now();
  thread_ = std::thread([this] { Run(); });
}

void Autopilot::Stop(bool expectDone) {
  std::unique_lock lock(shared_->mutex);
  const bool alreadyOver = stopping_ || failed_;
  stopping_ = true;
  shared_->changed.notify_all();
  lock.unlock();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  // Counted only now: a step that finished just before the stop still counts.
  lock.lock();
  if (!expectDone || alreadyOver || stepsDone_ >= steps_.size()) return;
  failed_ = true;
  const AutopilotStep& next = steps_[stepsDone_];
  lock.unlock();
  options_.fail("the program ended before the script's " + Where(next));
}

void Autopilot::PageOpened(const std::shared_ptr<ScriptablePage>& page) {
  std::lock_guard lock(shared_->mutex);
  open_.push_back(OpenPage{page, ++openings_});
  lastPageEvent_ = Clock::now();
  shared_->changed.notify_all();
}

void Autopilot::PageEnded(const ScriptablePage& page, int /*result*/) {
  std::lock_guard lock(shared_->mutex);
  std::erase_if(open_, [&page](const OpenPage& open) { return open.page.get() == &page; });
  lastPageEvent_ = Clock::now();
  shared_->changed.notify_all();
}

void Autopilot::EnabledChanged(int /*templateId*/, int /*controlId*/, bool /*enabled*/) {
  std::lock_guard lock(shared_->mutex);
  shared_->changed.notify_all();
}

std::optional<std::string> Autopilot::AnswerFileDialog(FileDialogKind kind) {
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return fileRequest_ == nullptr || Stopping(); });
  if (Stopping()) return std::nullopt;
  FileRequest request;
  request.kind = kind;
  fileRequest_ = &request;
  lastPageEvent_ = Clock::now();
  shared_->changed.notify_all();
  shared_->changed.wait(lock, [&] { return request.answered || Stopping(); });
  fileRequest_ = nullptr;
  shared_->changed.notify_all();
  return request.answered ? request.answer : std::nullopt;
}

bool Autopilot::Failed() const {
  std::lock_guard lock(shared_->mutex);
  return failed_;
}

size_t Autopilot::StepsDone() const {
  std::lock_guard lock(shared_->mutex);
  return stepsDone_;
}

void Autopilot::Run() {
  for (const AutopilotStep& step : steps_) {
    if (!RunStep(step)) return;
    std::lock_guard lock(shared_->mutex);
    ++stepsDone_;
  }
  WatchAfterScript();
}

bool Autopilot::RunStep(const AutopilotStep& step) {
  return step.IsFileStep() ? RunFileStep(step) : RunPageStep(step);
}

bool Autopilot::RunFileStep(const AutopilotStep& step) {
  std::unique_lock lock(shared_->mutex);
  const uint64_t openedBefore = openings_;
  while (!FileRequestPending()) {
    if (Stopping()) return false;
    const OpenPage* top = TopUserPage();
    if (top != nullptr && top->sequence > openedBefore && !top->page->Busy()) {
      Fail(lock, "page " + std::to_string(top->page->TemplateId()) +
                     " needs its user, but the next step is a file answer: " + Where(step));
      return false;
    }
    if (PageWaitExpired()) {
      Fail(lock, "no file dialog asked for the answer of " + Where(step));
      return false;
    }
    shared_->changed.wait_for(lock, kPollPeriod);
  }
  const FileDialogKind asked = fileRequest_->kind;
  if ((step.kind == AutopilotStep::Kind::kFileOpen && asked != FileDialogKind::kOpen) ||
      (step.kind == AutopilotStep::Kind::kFileSave && asked != FileDialogKind::kSave)) {
    Fail(lock, std::string("a ") + (asked == FileDialogKind::kOpen ? "open" : "save") +
                   " file dialog asked, but " + Where(step) + " answers the other kind");
    return false;
  }
  fileRequest_->answered = true;
  if (step.kind != AutopilotStep::Kind::kFileCancel) fileRequest_->answer = step.argument;
  shared_->changed.notify_all();
  return true;
}

bool Autopilot::RunPageStep(const AutopilotStep& step) {
  std::shared_ptr<ScriptablePage> page;
  {
    std::unique_lock lock(shared_->mutex);
    for (;;) {
      if (Stopping()) return false;
      if (FileRequestPending()) {
        Fail(lock, "a file dialog waits for its answer, but the next step is " + Where(step));
        return false;
      }
      if (const OpenPage* top = TopUserPage()) {
        // A page still handling the last command is not waiting for anyone yet.
        if (top->page->Busy()) {
          shared_->changed.wait_for(lock, kPollPeriod);
          continue;
        }
        if (top->page->TemplateId() != step.templateId) {
          Fail(lock, "page " + std::to_string(top->page->TemplateId()) + " needs its user, but the next step is " +
                         Where(step));
          return false;
        }
        page = top->page;
        break;
      }
      // No page needs a user: a step may still act on one that ends by itself.
      const auto self = std::find_if(open_.rbegin(), open_.rend(), [&](const OpenPage& open) {
        return open.page->TemplateId() == step.templateId;
      });
      if (self != open_.rend()) {
        page = self->page;
        break;
      }
      if (PageWaitExpired()) {
        Fail(lock, "page " + std::to_string(step.templateId) + " did not open for " + Where(step));
        return false;
      }
      shared_->changed.wait_for(lock, kPollPeriod);
    }
  }
  switch (step.kind) {
    case AutopilotStep::Kind::kCheck:
    case AutopilotStep::Kind::kPress: return Click(step, page);
    case AutopilotStep::Kind::kWaitEnabled: return WaitEnabled(step, page);
    case AutopilotStep::Kind::kRun: return RunCommand(step);
    default: return false;
  }
}

bool Autopilot::Click(const AutopilotStep& step, const std::shared_ptr<ScriptablePage>& page) {
  std::unique_lock lock(shared_->mutex);
  const uint64_t token = ++shared_->clickToken;
  shared_->clickOutcome.reset();
  const uint64_t openedBefore = openings_;
  lock.unlock();

  std::weak_ptr<Shared> weak = shared_;
  page->PostClick(step.controlId, step.kind == AutopilotStep::Kind::kCheck, [weak, token](ClickOutcome outcome) {
    const std::shared_ptr<Shared> shared = weak.lock();
    if (!shared) return;
    std::lock_guard guard(shared->mutex);
    if (shared->clickToken != token) return;
    shared->clickOutcome = outcome;
    shared->changed.notify_all();
  });

  lock.lock();
  // Done once the command is handled, or once it has opened something that
  // waits for the user (a nested page or a file dialog).
  shared_->changed.wait(lock, [&] {
    return shared_->clickOutcome.has_value() || openings_ != openedBefore || FileRequestPending() || Stopping();
  });
  // A click whose command ended the program is done: its outcome arrives
  // before the program's end can stop us, but we may wake after both.
  if (shared_->clickOutcome == ClickOutcome::kHandled) return true;
  if (Stopping()) return false;
  if (shared_->clickOutcome.has_value()) {
    Fail(lock, "cannot click control " + std::to_string(step.controlId) + " of page " +
                   std::to_string(step.templateId) + ": " + OutcomeText(*shared_->clickOutcome) + ", " + Where(step));
    return false;
  }
  return true;
}

bool Autopilot::WaitEnabled(const AutopilotStep& step, const std::shared_ptr<ScriptablePage>& page) {
  const Clock::time_point deadline = common::DeadlineAfter(step.waitMs);
  std::unique_lock lock(shared_->mutex);
  for (;;) {
    if (Stopping()) return false;
    if (!IsOpen(page.get())) {
      Fail(lock, "page " + std::to_string(step.templateId) + " ended while waiting at " + Where(step));
      return false;
    }
    if (page->IsControlEnabled(step.controlId)) return true;
    if (Clock::now() >= deadline) {
      Fail(lock, "control " + std::to_string(step.controlId) + " was not enabled in time at " + Where(step));
      return false;
    }
    shared_->changed.wait_until(lock, std::min(deadline, Clock::now() + kPollPeriod));
  }
}

bool Autopilot::RunCommand(const AutopilotStep& step) {
  const int status = options_.runCommand(step.argument);
  std::unique_lock lock(shared_->mutex);
  if (Stopping()) return false;
  if (status != 0) {
    Fail(lock, "command failed with status " + std::to_string(status) + " at " + Where(step));
    return false;
  }
  return true;
}

void Autopilot::WatchAfterScript() {
  std::unique_lock lock(shared_->mutex);
  while (!Stopping()) {
    if (const OpenPage* top = TopUserPage(); top != nullptr && !top->page->Busy()) {
      Fail(lock, "page " + std::to_string(top->page->TemplateId()) + " needs its user, but the script has no step left");
      return;
    }
    if (FileRequestPending()) {
      Fail(lock, "a file dialog waits for its answer, but the script has no step left");
      return;
    }
    shared_->changed.wait_for(lock, kPollPeriod);
  }
}

const Autopilot::OpenPage* Autopilot::TopUserPage() const {
  for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
    if (it->page->NeedsUser()) return &*it;
  }
  return nullptr;
}

bool Autopilot::IsOpen(const ScriptablePage* page) const {
  return std::any_of(open_.begin(), open_.end(), [page](const OpenPage& open) { return open.page.get() == page; });
}

bool Autopilot::SelfEndingPageOpen() const {
  return std::any_of(open_.begin(), open_.end(), [](const OpenPage& open) { return !open.page->NeedsUser(); });
}

bool Autopilot::PageWaitExpired() const {
  if (SelfEndingPageOpen()) return false;
  const auto limit = std::max<Clock::duration>(common::ScaledDuration(options_.pageWaitMs), options_.pageWaitFloor);
  return Clock::now() - lastPageEvent_ > limit;
}

void Autopilot::Fail(std::unique_lock<std::mutex>& lock, const std::string& reason) {
  if (failed_) {
    lock.unlock();
    return;
  }
  failed_ = true;
  shared_->changed.notify_all();
  lock.unlock();
  options_.fail(reason);
}

}  // namespace corvash::automation
