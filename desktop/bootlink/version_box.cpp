#include "desktop/bootlink/version_box.h"

#include "desktop/bootlink/loader_link.h"
#include "common/loader_wire.h"
#include "common/clock.h"

namespace corvash::bootlink {
namespace {

constexpr uint32_t kLinePauseMs = 100;
constexpr uint32_t kClosingPauseMs = 1000;

std::string WithVersionChar(std::string_view pattern, char character) {
  std::string line(pattern);
  const size_t at = line.find("%c");
  line.replace(at, 2, 1, character);
  return line;
}

// A character that would break the quoted text is drawn as a blank.
char DrawableChar(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code < 0x20 || code >= 0x7F || c == '"' ? ' ' : c;
}

// Lines 7 to 9 go out back to back; every other line is followed by a pause.
uint32_t PauseAfterLine(size_t index) {
  if (index + 1 == kVersionBoxLineCount) return kClosingPauseMs;
  const size_t first = common::VERSION_BOX_FIRST_CHAR_LINE;
  const size_t last = first + common::VERSION_BOX_CHAR_LINES - 1;
  if (index >= first && index < last) return 0;
  return kLinePauseMs;
}

}  // namespace

std::array<std::string, kVersionBoxLineCount> VersionBoxLines(std::string_view version) {
  static_assert(common::VERSION_BOX_LINES.size() == kVersionBoxLineCount);
  std::array<std::string, kVersionBoxLineCount> lines;
  for (size_t i = 0; i < kVersionBoxLineCount; ++i) {
    const size_t charIndex = i - common::VERSION_BOX_FIRST_CHAR_LINE;
    const bool isCharLine =
        i >= common::VERSION_BOX_FIRST_CHAR_LINE && charIndex < common::VERSION_BOX_CHAR_LINES;
    if (!isCharLine) {
      lines[i] = std::string(common::VERSION_BOX_LINES[i]);
      continue;
    }
    const char character = charIndex < version.size() ? DrawableChar(version[charIndex]) : ' ';
    lines[i] = WithVersionChar(common::VERSION_BOX_LINES[i], character);
  }
  return lines;
}

void DrawVersionBox(LoaderLink& link, std::string_view version) {
  if (link.commandSessionOpen.load() == 1) {
    link.SendString(common::CR_BURST);
    link.commandSessionOpen.store(0);
  }
  const auto lines = VersionBoxLines(version);
  for (size_t i = 0; i < lines.size(); ++i) {
    link.SendString(lines[i]);
    if (const uint32_t pause = PauseAfterLine(i); pause != 0) common::SleepMs(pause);
  }
}

}  // namespace corvash::bootlink
