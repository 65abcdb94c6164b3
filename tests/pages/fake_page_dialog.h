#pragma once
// A PageDialog that records what a page procedure does to it: texts (with
// their order), enabled states, check boxes, fonts, colours, picture,
// progress bar, timers, visibility and the result. Thread-safe, so that
// worker threads may act on it as they do on a real page.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/pages/page_catalogue.h"
#include "desktop/pages/page_run.h"
#include "desktop/pages/page_dialog.h"

namespace corvash::pages::testing {

class FakePageDialog final : public PageDialog {
 private:
  template <class F>
  void Write(F change) {
    std::lock_guard lock(mutex_);
    change();
  }
  template <class F>
  auto Read(F read) const {
    std::lock_guard lock(mutex_);
    return read();
  }
  template <class Map, class Value>
  static Value Find(const Map& map, int key, Value absent) {
    auto it = map.find(key);
    return it == map.end() ? absent : Value(it->second);
  }

 public:
  explicit FakePageDialog(int templateId) : templateId_(templateId) {}

  int TemplateId() const override { return templateId_; }
  void SetCaption(std::string_view text) override { Write([&] { caption_ = text; }); }
  void SetText(int controlId, std::string_view text) override {
    Write([&] {
      touched_.insert(controlId);
      texts_[controlId] = text;
      textOrder_.emplace_back(controlId, std::string(text));
    });
  }
  std::string Text(int controlId) const override {
    return Read([&] { touched_.insert(controlId); return Find(texts_, controlId, std::string()); });
  }
  void Enable(int controlId, bool enabled) override {
    Write([&] { touched_.insert(controlId); enabled_[controlId] = enabled; });
  }
  // Controls are enabled unless the procedure disabled them.
  bool IsEnabled(int controlId) const override {
    return Read([&] { touched_.insert(controlId); return Find(enabled_, controlId, true); });
  }
  void ShowControl(int controlId, bool) override { Write([&] { touched_.insert(controlId); }); }
  bool IsChecked(int controlId) const override {
    return Read([&] { touched_.insert(controlId); return checked_.count(controlId) != 0; });
  }
  void SetTitleFont(int controlId) override { Write([&] { touched_.insert(controlId); titleFonts_.insert(controlId); }); }
  void SetBoldFont(int controlId) override { Write([&] { touched_.insert(controlId); boldFonts_.insert(controlId); }); }
  void SetColouring(int controlId, Colouring colouring) override {
    Write([&] { touched_.insert(controlId); colourings_[controlId] = colouring; });
  }
  void SetPicture(Picture picture) override { Write([&] { picture_ = picture; }); }
  void SetProgressRange(int controlId, uint32_t low, uint32_t high) override {
    Write([&] { touched_.insert(controlId); ranges_[controlId] = {low, high}; });
  }
  void SetProgressPosition(int controlId, uint32_t position) override {
    Write([&] { touched_.insert(controlId); positions_[controlId] = position; });
  }
  void SetTimer(int timerId, uint32_t ms) override { Write([&] { timers_[timerId] = ms; }); }
  void KillTimer(int timerId) override { Write([&] { timers_.erase(timerId); }); }
  void SetPageVisible(bool visible) override { Write([&] { visible_ = visible; }); }
  void SetWaitCursor(bool on) override { Write([&] { waitCursor_ = on; }); }
  // The first result stays; later ends are ignored.
  void End(int result) override { Write([&] { result_ = result_.value_or(result); }); }
  bool Ended() const override { return Read([&] { return result_.has_value(); }); }

  // What a user does: tick or clear a check box (the host then sends its command).
  void SetChecked(int controlId, bool checked) {
    Write([&] { checked ? (void)checked_.insert(controlId) : (void)checked_.erase(controlId); });
  }

  std::optional<int> Result() const { return Read([&] { return result_; }); }
  std::string Caption() const { return Read([&] { return caption_; }); }
  std::vector<std::pair<int, std::string>> TextOrder() const { return Read([&] { return textOrder_; }); }
  bool HasTitleFont(int controlId) const { return Read([&] { return titleFonts_.count(controlId) != 0; }); }
  bool HasBoldFont(int controlId) const { return Read([&] { return boldFonts_.count(controlId) != 0; }); }
  Colouring ColouringOf(int controlId) const {
    return Read([&] { return Find(colourings_, controlId, Colouring::kDefault); });
  }
  std::map<int, Colouring> Colourings() const { return Read([&] { return colourings_; }); }
  Picture PictureShown() const { return Read([&] { return picture_; }); }
  std::pair<uint32_t, uint32_t> Range(int controlId) const {
    return Read([&] { return Find(ranges_, controlId, std::pair<uint32_t, uint32_t>{0, 0}); });
  }
  std::optional<uint32_t> Position(int controlId) const {
    return Read([&] { return Find(positions_, controlId, std::optional<uint32_t>()); });
  }
  // The period of a running timer, nothing when it is not running.
  std::optional<uint32_t> Timer(int timerId) const {
    return Read([&] { return Find(timers_, timerId, std::optional<uint32_t>()); });
  }
  bool Visible() const { return Read([&] { return visible_; }); }
  // Every control id the procedure has set, read or changed.
  std::set<int> TouchedControls() const { return Read([&] { return touched_; }); }
  bool WaitCursor() const { return Read([&] { return waitCursor_; }); }

 private:
  const int templateId_;
  mutable std::mutex mutex_;
  std::string caption_;
  mutable std::set<int> touched_;
  std::map<int, std::string> texts_;
  std::vector<std::pair<int, std::string>> textOrder_;
  std::map<int, bool> enabled_;
  std::set<int> checked_;
  std::set<int> titleFonts_;
  std::set<int> boldFonts_;
  std::map<int, Colouring> colourings_;
  Picture picture_ = Picture::kNone;
  std::map<int, std::pair<uint32_t, uint32_t>> ranges_;
  std::map<int, uint32_t> positions_;
  std::map<int, uint32_t> timers_;
  bool visible_ = true;
  bool waitCursor_ = false;
  std::optional<int> result_;
};

// Like a real host, the fake keeps every dialog it made for the life of the
// process and never destroys it, not even at exit: a worker that still holds
// a page after it closed (its thread detached) reaches a live object that
// ignores it.
inline FakePageDialog& RetainedDialog(int templateId) {
  static std::mutex mutex;
  static auto* dialogs = new std::vector<std::unique_ptr<FakePageDialog>>();
  std::lock_guard lock(mutex);
  dialogs->push_back(std::make_unique<FakePageDialog>(templateId));
  return *dialogs->back();
}

// One page as a host runs it: the catalogue's procedure, made with
// `services` for `run`, on a fake dialog. Press() is a button or key; the page is
// closed (OnClosed) when this ends.
class OpenPage {
 public:
  OpenPage(int templateId, const PageRun& run, const PageServices& services = DefaultPageServices())
      : dialog(RetainedDialog(templateId)), procedure(MakePageProcedure(templateId, services, run)) {
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
