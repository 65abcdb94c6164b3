#include "desktop/automation/autopilot_script.h"

#include <charconv>

namespace corvash::automation {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits off the next blank-separated word of `rest`.
std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  rest = Trim(rest);
  return word;
}

// Drops a trailing comment: '#' after a blank.
std::string_view StripComment(std::string_view text) {
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '#' && IsBlank(text[i - 1])) return Trim(text.substr(0, i));
  }
  return text;
}

template <typename Number>
bool ParseNumber(std::string_view word, Number& value) {
  if (word.empty()) return false;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc() && end == word.data() + word.size();
}

class LineParser {
 public:
  LineParser(int lineNumber, std::string_view line, std::string* error)
      : lineNumber_(lineNumber), line_(line), error_(error) {}

  std::optional<AutopilotStep> Parse() {
    step_.line = lineNumber_;
    step_.source = std::string(line_);
    std::string_view rest = line_;
    const std::string_view first = NextWord(rest);
    if (first == "file") return ParseFileStep(rest);
    if (!ParseNumber(first, step_.templateId) || step_.templateId < 0) {
      return Fail("expected a page number or \"file\", found \"" + std::string(first) + "\"");
    }
    const std::string_view verb = NextWord(rest);
    if (verb == "run") {
      if (rest.empty()) return Fail("\"run\" needs a command");
      step_.kind = AutopilotStep::Kind::kRun;
      step_.argument = std::string(rest);
      return step_;
    }
    rest = StripComment(rest);
    if (verb == "check") return ParseControlStep(AutopilotStep::Kind::kCheck, rest, false);
    if (verb == "press") return ParseControlStep(AutopilotStep::Kind::kPress, rest, false);
    if (verb == "wait-enabled") return ParseControlStep(AutopilotStep::Kind::kWaitEnabled, rest, true);
    return Fail("unknown action \"" + std::string(verb) + "\"");
  }

 private:
  std::optional<AutopilotStep> ParseFileStep(std::string_view rest) {
    const std::string_view verb = NextWord(rest);
    if (verb == "cancel") {
      if (!StripComment(rest).empty()) return Fail("\"file cancel\" takes nothing more");
      step_.kind = AutopilotStep::Kind::kFileCancel;
      return step_;
    }
    if (verb != "open" && verb != "save") return Fail("expected \"file open\", \"file save\" or \"file cancel\"");
    rest = StripComment(rest);
    if (rest.empty()) return Fail("\"file " + std::string(verb) + "\" needs a path");
    step_.kind = verb == "open" ? AutopilotStep::Kind::kFileOpen : AutopilotStep::Kind::kFileSave;
    step_.argument = std::string(rest);
    return step_;
  }

  std::optional<AutopilotStep> ParseControlStep(AutopilotStep::Kind kind, std::string_view rest, bool timeAllowed) {
    step_.kind = kind;
    const std::string_view control = NextWord(rest);
    if (!ParseNumber(control, step_.controlId)) return Fail("expected a control number");
    if (timeAllowed && !rest.empty()) {
      const std::string_view ms = NextWord(rest);
      if (!ParseNumber(ms, step_.waitMs)) return Fail("expected a time in milliseconds");
    }
    if (!rest.empty()) return Fail("unexpected \"" + std::string(rest) + "\"");
    return step_;
  }

  std::optional<AutopilotStep> Fail(const std::string& why) {
    if (error_ != nullptr) *error_ = "script line " + std::to_string(lineNumber_) + ": " + why;
    return std::nullopt;
  }

  int lineNumber_;
  std::string_view line_;
  std::string* error_;
  AutopilotStep step_;
};

}  // namespace

std::optional<std::vector<AutopilotStep>> ParseAutopilotScript(std::string_view text, std::string* error) {
  std::vector<AutopilotStep> steps;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    ++lineNumber;
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    std::optional<AutopilotStep> step = LineParser(lineNumber, line, error).Parse();
    if (!step) return std::nullopt;
    steps.push_back(std::move(*step));
  }
  return steps;
}

}  // namespace corvash::automation
