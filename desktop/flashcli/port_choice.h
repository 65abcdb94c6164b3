#pragma once
// Which port corvash-flash talks on: a port name of the prefix (com1, com2,
// wceusbsh001, wceusbsh002, resolved as the wizard resolves them) or a device
// path (/dev/ttyUSB0, /dev/ttyACM0, a pty). Without one, the wizard's port
// test over the four names, in its order.
#include <filesystem>
#include <optional>
#include <string>

#include "desktop/bootlink/port_test.h"

namespace corvash::flashcli {

struct PortChoice {
  std::string label;  // what the user named, for messages
  std::filesystem::path path;
  bootlink::PortCandidate candidate;  // test line and serialLink spoken on it
};

// Nullopt for a text that is neither a known name nor an absolute path. A
// device path speaks as com1 when its node is a ttyS, else as the handheld's
// USB serial function.
std::optional<PortChoice> ResolvePort(const std::string& text);

// The four names in the port test's order.
PortChoice CandidateChoice(const bootlink::PortCandidate& candidate);

// Finds the loader: on `choice` when given, else through the port test.
// True with the port open in the link; `label` names the port that answered.
bool ConnectLoader(bootlink::LoaderLink& link, const std::optional<PortChoice>& choice, std::string& label);

}  // namespace corvash::flashcli
