#include "desktop/flashcli/progress_report.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace corvash::flashcli {
namespace {

constexpr int kBarWidth = 24;
constexpr uint32_t kLineStepPercent = 5;
constexpr double kMiB = 1024.0 * 1024.0;

uint32_t PercentOf(uint64_t done, uint64_t total) {
  // To the nearest, so that bytes worked out from a percentage give it back.
  return total == 0 ? 0 : static_cast<uint32_t>((done * 100 + total / 2) / total);
}

std::string Bar(uint32_t percent) {
  const int filled = static_cast<int>(percent) * kBarWidth / 100;
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
}

std::string Clock(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

ReportForm ChooseForm(bool json, int outFd) {
  if (json) return ReportForm::kJson;
  return isatty(outFd) ? ReportForm::kTerminal : ReportForm::kLines;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

ProgressReport::ProgressReport(ReportForm form, std::ostream& out, std::ostream& err)
    : form_(form), out_(out), err_(err) {}

void ProgressReport::Stage(std::string_view stage, uint64_t total) {
  std::lock_guard lock(mutex_);
  stage_ = stage;
  total_ = total;
  done_ = 0;
  lastStep_ = 0;
  started_ = std::chrono::steady_clock::now();
  switch (form_) {
    case ReportForm::kTerminal: DrawLocked(); break;
    case ReportForm::kLines: out_ << stage_ << '\n' << std::flush; break;
    case ReportForm::kJson:
      out_ << "{\"stage\":" << JsonString(stage_) << ",\"done\":0,\"total\":" << total_ << "}\n" << std::flush;
      break;
  }
}

void ProgressReport::Progress(uint64_t done) {
  std::lock_guard lock(mutex_);
  if (done == done_) return;
  done_ = done;
  const uint32_t percent = PercentOf(done_, total_);
  switch (form_) {
    case ReportForm::kTerminal: DrawLocked(); break;
    case ReportForm::kLines:
      if (percent / kLineStepPercent == lastStep_ / kLineStepPercent) return;
      lastStep_ = percent;
      out_ << stage_ << ' ' << percent << "% " << done_ << '/' << total_ << " bytes\n" << std::flush;
      break;
    case ReportForm::kJson:
      out_ << "{\"stage\":" << JsonString(stage_) << ",\"done\":" << done_ << ",\"total\":" << total_ << "}\n"
           << std::flush;
      break;
  }
}

// stage [#####...]  45%  14.2/31.5 MiB  1.2 MiB/s  0:12 left
void ProgressReport::DrawLocked() {
  const uint32_t percent = PercentOf(done_, total_);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  std::string line = stage_;
  if (total_ == 0) {  // a stage without a byte count: its name alone
    out_ << "\r\033[K" << line << "..." << std::flush;
    lineOpen_ = true;
    return;
  }
  line.resize(8, ' ');
  char figures[160];
  std::snprintf(figures, sizeof figures, " %s %3u%%  %.1f/%.1f MiB", Bar(percent).c_str(), percent,
                static_cast<double>(done_) / kMiB, static_cast<double>(total_) / kMiB);
  line += figures;
  if (done_ > 0 && seconds > 0) {
    const double rate = static_cast<double>(done_) / seconds;
    std::snprintf(figures, sizeof figures, "  %.1f MiB/s  %s left", rate / kMiB,
                  Clock(static_cast<double>(total_ - std::min(done_, total_)) / rate).c_str());
    line += figures;
  }
  out_ << "\r\033[K" << line << std::flush;
  lineOpen_ = true;
}

void ProgressReport::Note(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (form_ == ReportForm::kJson) return;  // every JSON line is an object
  EndLineLocked();
  out_ << text << '\n' << std::flush;
}

void ProgressReport::Json(std::string_view object) {
  std::lock_guard lock(mutex_);
  out_ << object << '\n' << std::flush;
}

void ProgressReport::Failure(std::string_view cause) {
  std::lock_guard lock(mutex_);
  EndLineLocked();
  err_ << "corvash-flash: " << cause << '\n' << std::flush;
}

void ProgressReport::Result(int exitCode, std::string_view cause) {
  std::lock_guard lock(mutex_);
  EndLineLocked();
  if (form_ != ReportForm::kJson) return;
  out_ << "{\"result\":" << (exitCode == 0 ? "\"done\"" : "\"failed\"") << ",\"exit\":" << exitCode;
  if (!cause.empty()) out_ << ",\"error\":" << JsonString(cause);
  out_ << "}\n" << std::flush;
}

void ProgressReport::EndLine() {
  std::lock_guard lock(mutex_);
  EndLineLocked();
}

void ProgressReport::EndLineLocked() {
  if (!lineOpen_) return;
  out_ << '\n' << std::flush;
  lineOpen_ = false;
}

}  // namespace corvash::flashcli
