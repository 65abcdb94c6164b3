#pragma once
// The autopilot's script: what its user does, one step a line.
//
//   P check ID              on page template P, click check box ID
//   P press ID              on page P, click button ID (1 and 2 also stand
//                           for Enter and Escape)
//   P wait-enabled ID [MS]  on page P, wait until control ID is enabled
//                           (default 120000 system ms, scaled)
//   P run COMMAND           on page P, run a shell command and wait for it
//   file open PATH | file save PATH | file cancel
//                           answer the next open or save file dialog
//
// A line whose first non-blank character is '#' is a comment, and so is the
// tail of a step line from a '#' that follows a blank (except on `run`
// lines, whose command is passed on whole). Blank lines are skipped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::automation {

inline constexpr uint32_t kDefaultWaitEnabledMs = 120000;

struct AutopilotStep {
  enum class Kind { kCheck, kPress, kWaitEnabled, kRun, kFileOpen, kFileSave, kFileCancel };
  Kind kind = Kind::kPress;
  int line = 0;             // line number in the script, from 1
  std::string source;       // the line as written, for messages
  int templateId = 0;       // page steps
  int controlId = 0;        // check, press, wait-enabled
  uint32_t waitMs = kDefaultWaitEnabledMs;  // wait-enabled
  std::string argument;     // run: the command; file open/save: the path

  bool IsFileStep() const {
    return kind == Kind::kFileOpen || kind == Kind::kFileSave || kind == Kind::kFileCancel;
  }
};

// Parses a whole script. On the first malformed line: nullopt, and `error`
// says which line and why.
std::optional<std::vector<AutopilotStep>> ParseAutopilotScript(std::string_view text, std::string* error);

}  // namespace corvash::automation
