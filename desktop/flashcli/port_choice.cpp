#include "desktop/flashcli/port_choice.h"

#include "common/fixed_text.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"
#include "desktop/platform/prefix.h"

namespace corvash::flashcli {
namespace {

const bootlink::PortCandidate& CandidateNamed(std::string_view name) {
  for (const bootlink::PortCandidate& candidate : bootlink::PORT_CANDIDATES) {
    if (candidate.name == name) return candidate;
  }
  return bootlink::PORT_CANDIDATES[0];
}

// The wizard frees the ports from the desktop sync software before its test.
void StopSyncProcesses() { handheld::StopActiveSync(handheld::QueryWindowsFamily()); }

}  // namespace

PortChoice CandidateChoice(const bootlink::PortCandidate& candidate) {
  const std::string name(candidate.name);
  return PortChoice{name, platform::DosDevicePath(name), candidate};
}

std::optional<PortChoice> ResolvePort(const std::string& text) {
  for (const bootlink::PortCandidate& candidate : bootlink::PORT_CANDIDATES) {
    if (common::EqualsNoCase(text, candidate.name)) return CandidateChoice(candidate);
  }
  const std::filesystem::path path(text);
  if (!path.is_absolute()) return std::nullopt;
  const bool comPort = path.filename().string().starts_with("ttyS");
  return PortChoice{text, path, CandidateNamed(comPort ? "com1" : "wceusbsh001")};
}

bool ConnectLoader(bootlink::LoaderLink& link, const std::optional<PortChoice>& choice, std::string& label) {
  if (choice) {
    label = choice->label;
    return bootlink::TestPort(link, choice->path, choice->candidate, &StopSyncProcesses) == 1;
  }
  std::string_view found;
  if (bootlink::TestPorts(link, &StopSyncProcesses, &found) != 1) return false;
  label = std::string(found);
  return true;
}

}  // namespace corvash::flashcli
