#pragma once
// What corvash-flash tells its user while it works, in one of three forms:
// on a terminal one line redrawn in place (stage, bar, percent, bytes, rate,
// time left); otherwise a line at each stage and at each 5 %; with --json
// one JSON object a line and a last object with the result. Failures go to
// stderr as one line each. Every member may be called from any thread.
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

namespace corvash::flashcli {

enum class ReportForm { kTerminal, kLines, kJson };

// The form for a run: JSON when asked, else a redrawn line when `out` is a
// terminal.
ReportForm ChooseForm(bool json, int outFd);

// Text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

class ProgressReport {
 public:
  ProgressReport(ReportForm form, std::ostream& out, std::ostream& err);
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  ReportForm Form() const { return form_; }
  // A new stage ("identify", "load 1", "load 2", "box") of `total` bytes.
  void Stage(std::string_view stage, uint64_t total);
  // `done` bytes of the current stage.
  void Progress(uint64_t done);
  // A line of the run's findings (plain forms only; JSON callers use Json).
  void Note(std::string_view text);
  void Json(std::string_view object);
  // One line on stderr naming the cause, after the progress line is ended.
  void Failure(std::string_view cause);
  // The last word: with --json the result object; ends a redrawn line.
  void Result(int exitCode, std::string_view cause);
  // Ends a redrawn line so that the terminal's next line starts clean.
  void EndLine();

 private:
  void DrawLocked();
  void EndLineLocked();

  const ReportForm form_;
  std::ostream& out_;
  std::ostream& err_;
  std::mutex mutex_;
  std::string stage_;
  uint64_t total_ = 0;
  uint64_t done_ = 0;
  uint32_t lastStep_ = 0;  // last 5 % step reported in line form
  std::chrono::steady_clock::time_point started_{};
  bool lineOpen_ = false;
};

}  // namespace corvash::flashcli
