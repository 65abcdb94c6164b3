#pragma once
// A PageDialog that records what a page procedure does to it: texts (with
// their order), enabled states, check boxes, fonts, colours, picture,
// progress bar, timers, visibility and the result. Thread-safe, so that
// worker threads may act on it as they do on a real page.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/pages/page_catalogue.h"
#include "desktop/pages/page_dialog.h"

namespace corvash::pages::testing {

class FakePageDialog final : public PageDialog {
 public:
  explicit FakePageDialog(int templateId) : templateId_(templateId) {}

  int TemplateId() const override { return templateId_; }

  void SetCaption(std::string_view text) override {
    std::lock_guard lock(mutex_);
    caption_ = text;
  }
  void SetText(int controlId, std::string_view text) override {
    std::lock_guard lock(mutex_);
    texts_[controlId] = text;
    textOrder_.emplace_back(controlId, std::string(text));
    changed_.notify_all();
  }
  std::string Text(int controlId) const override {
    std::lock_guard lock(mutex_);
    auto it = texts_.find(controlId);
    return it == texts_.end() ? std::string() : it->second;
  }
  void Enable(int controlId, bool enabled) override {
    std::lock_guard lock(mutex_);
    enabled_[controlId] = enabled;
    changed_.notify_all();
  }
  // Controls are enabled unless the procedure disabled them.
  bool IsEnabled(int controlId) const override {
    std::lock_guard lock(mutex_);
    auto it = enabled_.find(controlId);
    return it == enabled_.end() || it->second;
  }
  void ShowControl(int controlId, bool visible) override {
    std::lock_guard lock(mutex_);
    shown_[controlId] = visible;
  }
  bool IsChecked(int controlId) const override {
    std::lock_guard lock(mutex_);
    return checked_.count(controlId) != 0;
  }
  void SetTitleFont(int controlId) override {
    std::lock_guard lock(mutex_);
    titleFonts_.insert(controlId);
  }
  void SetBoldFont(int controlId) override {
    std::lock_guard lock(mutex_);
    boldFonts_.insert(controlId);
  }
  void SetColouring(int controlId, Colouring colouring) override {
    std::lock_guard lock(mutex_);
    colourings_[controlId] = colouring;
  }
  void SetPicture(Picture picture) override {
    std::lock_guard lock(mutex_);
    picture_ = picture;
  }
  void SetProgressRange(int controlId, uint32_t low, uint32_t high) override {
    std::lock_guard lock(mutex_);
    ranges_[controlId] = {low, high};
  }
  void SetProgressPosition(int controlId, uint32_t position) override {
    std::lock_guard lock(mutex_);
    positions_[controlId] = position;
  }
  void SetTimer(int timerId, uint32_t ms) override {
    std::lock_guard lock(mutex_);
    timers_[timerId] = ms;
    timerLog_.push_back({timerId, ms});
  }
  void KillTimer(int timerId) override {
    std::lock_guard lock(mutex_);
    timers_.erase(timerId);
  }
  void SetPageVisible(bool visible) override {
    std::lock_guard lock(mutex_);
    visible_ = visible;
  }
  void SetWaitCursor(bool on) override {
    std::lock_guard lock(mutex_);
    waitCursor_ = on;
  }
  void End(int result) override {
    std::lock_guard lock(mutex_);
    if (result_) return;
    result_ = result;
    changed_.notify_all();
  }
  bool Ended() const override {
    std::lock_guard lock(mutex_);
    return result_.has_value();
  }

  // What a user does: tick or clear a check box (the host then sends its command).
  void SetChecked(int controlId, bool checked) {
    std::lock_guard lock(mutex_);
    if (checked) {
      checked_.insert(controlId);
    } else {
      checked_.erase(controlId);
    }
  }

  std::optional<int> Result() const {
    std::lock_guard lock(mutex_);
    return result_;
  }
  std::string Caption() const {
    std::lock_guard lock(mutex_);
    return caption_;
  }
  bool HasText(int controlId) const {
    std::lock_guard lock(mutex_);
    return texts_.count(controlId) != 0;
  }
  std::vector<std::pair<int, std::string>> TextOrder() const {
    std::lock_guard lock(mutex_);
    return textOrder_;
  }
  bool HasTitleFont(int controlId) const {
    std::lock_guard lock(mutex_);
    return titleFonts_.count(controlId) != 0;
  }
  bool HasBoldFont(int controlId) const {
    std::lock_guard lock(mutex_);
    return boldFonts_.count(controlId) != 0;
  }
  Colouring ColouringOf(int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = colourings_.find(controlId);
    return it == colourings_.end() ? Colouring::kDefault : it->second;
  }
  std::map<int, Colouring> Colourings() const {
    std::lock_guard lock(mutex_);
    return colourings_;
  }
  Picture PictureShown() const {
    std::lock_guard lock(mutex_);
    return picture_;
  }
  std::pair<uint32_t, uint32_t> Range(int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = ranges_.find(controlId);
    return it == ranges_.end() ? std::pair<uint32_t, uint32_t>{0, 0} : it->second;
  }
  std::optional<uint32_t> Position(int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = positions_.find(controlId);
    if (it == positions_.end()) return std::nullopt;
    return it->second;
  }
  // The period of a running timer, nothing when it is not running.
  std::optional<uint32_t> Timer(int timerId) const {
    std::lock_guard lock(mutex_);
    auto it = timers_.find(timerId);
    if (it == timers_.end()) return std::nullopt;
    return it->second;
  }
  bool Visible() const {
    std::lock_guard lock(mutex_);
    return visible_;
  }
  bool WaitCursor() const {
    std::lock_guard lock(mutex_);
    return waitCursor_;
  }

  // Waits (real time) until `done` holds; false after `limit`.
  bool WaitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
      lock.unlock();
      const bool holds = done();
      lock.lock();
      if (holds) return true;
      if (changed_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                          std::chrono::milliseconds(5))) ==
              std::cv_status::timeout &&
          std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
    }
  }
  bool WaitEnded() const {
    return WaitUntil([this] { return Ended(); });
  }

 private:
  const int templateId_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string caption_;
  std::map<int, std::string> texts_;
  std::vector<std::pair<int, std::string>> textOrder_;
  std::map<int, bool> enabled_;
  std::map<int, bool> shown_;
  std::set<int> checked_;
  std::set<int> titleFonts_;
  std::set<int> boldFonts_;
  std::map<int, Colouring> colourings_;
  Picture picture_ = Picture::kNone;
  std::map<int, std::pair<uint32_t, uint32_t>> ranges_;
  std::map<int, uint32_t> positions_;
  std::map<int, uint32_t> timers_;
  std::vector<std::pair<int, uint32_t>> timerLog_;
  bool visible_ = true;
  bool waitCursor_ = false;
  std::optional<int> result_;
};

// Like a real host, the fake keeps every dialog it made until the process
// ends: a worker that still holds a page after it closed reaches a live
// object that ignores it.
inline FakePageDialog& RetainedDialog(int templateId) {
  static std::mutex mutex;
  static std::vector<std::unique_ptr<FakePageDialog>> dialogs;
  std::lock_guard lock(mutex);
  dialogs.push_back(std::make_unique<FakePageDialog>(templateId));
  return *dialogs.back();
}

// One page as a host runs it: the catalogue's procedure on a fake dialog.
// Press() is a button or key; the page is closed (OnClosed) when this ends.
class OpenPage {
 public:
  explicit OpenPage(int templateId)
      : dialog(RetainedDialog(templateId)), procedure(MakePageProcedure(templateId)) {
    if (procedure) procedure->OnOpen(dialog);
  }
  ~OpenPage() { Close(); }
  OpenPage(const OpenPage&) = delete;
  OpenPage& operator=(const OpenPage&) = delete;

  void Press(int commandId) { procedure->OnCommand(dialog, commandId); }
  void Tick(int timerId) { procedure->OnTimer(dialog, timerId); }
  void Message(int message) { procedure->OnMessage(dialog, message); }
  void Close() {
    if (procedure && !closed_) {
      closed_ = true;
      procedure->OnClosed(dialog);
    }
  }

  std::optional<int> Result() const { return dialog.Result(); }
  std::string Text(int controlId) const { return dialog.Text(controlId); }

  FakePageDialog& dialog;
  std::unique_ptr<PageProcedure> procedure;

 private:
  bool closed_ = false;
};

}  // namespace corvash::pages::testing
