#include "desktop/handheld/activesync_control.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "common/clock.h"
#include "common/fixed_text.h"
#include "desktop/handheld/windows_family.h"
#include "common/hive.h"
#include "desktop/platform/prefix.h"
#include "desktop/platform/process_prefix.h"
#include "desktop/platform/processes.h"
#include "desktop/platform/trace.h"

namespace corvash::handheld {
namespace {

constexpr uint32_t kStopPauseMs = 1000;
constexpr uint32_t kWindowPauseMs = 500;
constexpr size_t kTitleChars = 99;
constexpr size_t kAppPathBytes = 256;
constexpr const char* kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESCOMM.EXE";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The first process of this prefix whose lower-cased `field` contains `name`.
template <typename Field>
void TerminateFirstMatch(const std::string& name, Field field) {
  const std::filesystem::path prefix = platform::PrefixDir();
  for (const platform::ProcessEntry& process : platform::ListProcesses()) {
    if (Lower(field(process)).find(name) == std::string::npos) continue;
    if (!platform::BelongsToPrefix(process.pid, prefix)) continue;
    platform::TerminatePrefixProcess(process.pid, prefix);
    return;
  }
}

}  // namespace

void TerminateProcessByName(std::string name, uint32_t windowsFamily) {
  name = Lower(std::move(name));
  switch (windowsFamily) {
    case kFamilyProcessStatus:
      TerminateFirstMatch(name, [](const platform::ProcessEntry& p) { return p.executable; });
      break;
    case kFamilySnapshot:
      TerminateFirstMatch(name, [](const platform::ProcessEntry& p) { return p.name; });
      break;
    case kFamilyWindowTitles:
      CloseWindowOwnerByTitle("DccMan");
      common::SleepMs(kWindowPauseMs);
      CloseWindowOwnerByTitle("WCES Manager Thunk Window");
      break;
    default:
      break;
  }
}

void CloseWindowOwnerByTitle(std::string_view title) {
  const std::filesystem::path prefix = platform::PrefixDir();
  for (const platform::TopLevelWindow& window : platform::ListTopLevelWindows()) {
    const std::string_view shown = std::string_view(window.title).substr(0, kTitleChars);
    if (!common::EqualsNoCase(shown, title)) continue;
    if (!platform::BelongsToPrefix(window.owner, prefix)) continue;
    platform::TerminatePrefixProcess(window.owner, prefix);
    return;
  }
}

void StopActiveSync(uint32_t windowsFamily) {
  common::SleepMs(kStopPauseMs);
  TerminateProcessByName("wcesmgr.exe", windowsFamily);
  common::SleepMs(kStopPauseMs);
  TerminateProcessByName("wcescomm.exe", windowsFamily);
  common::SleepMs(kStopPauseMs);
}

void RestartActiveSync() {
  const common::Hive hive = platform::LoadSystemHive();
  const std::optional<common::HiveValue> value = hive.GetValue(kAppPathsKey, "");
  if (!value || value->data.size() > kAppPathBytes) return;
  const std::string program = value->AsText();
  if (program.empty() || !platform::StartProgram(program)) {
    platform::TraceF("\r\n RestartActiveSync: cannot start \"%s\"\r\n", program.c_str());
  }
}

}  // namespace corvash::handheld
