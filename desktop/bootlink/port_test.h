#pragma once
// TestPorts: finds the port on which the boot loader answers. Tries COM1,
// WCEUSBSH001, WCEUSBSH002, COM2 twice over; on each it opens the port
// exclusively, sets the line up, starts the receive thread, sends the CR
// burst and the candidate's test line and accepts the port whose echo comes
// back within 3000 ms.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace corvash::bootlink {

class LoaderLink;

struct PortCandidate {
  std::string_view name;      // dosdevices name: "com1", "wceusbsh001", ...
  std::string_view testLine;  // the line sent and expected back
  uint32_t serialLink;        // 1 = COM port, 0 = USB serial device
};

// The rotation, in order; it wraps from com2 back to com1.
extern const std::array<PortCandidate, 4> PORT_CANDIDATES;
inline constexpr int PORT_TEST_ATTEMPTS = 8;

// Returns 1 when a candidate answered: its port is open in the link, the
// receive thread runs and the link's serialLink is set. Returns 0 after 8
// failed attempts: no port open, no receive thread left. Shows nothing (the
// caller reports). Stops the desktop sync processes first through
// `stopSync` so that they release the ports (with none it traces that the
// ports were not freed). A reader still running from an earlier link is
// shut down first. Blocks for seconds; never run two at once on a link.
// `found`, when given, is set to the name of the candidate that answered.
using SyncStopper = std::function<void()>;
uint32_t TestPorts(LoaderLink& link, const SyncStopper& stopSync, std::string_view* found = nullptr);

// What one attempt on one port found.
enum class PortAnswer {
  kLoader,   // the echo came back: the port is open in the link, the reader runs
  kSilent,   // the port opened but nothing echoed the test line
  kBusy,     // another program holds the port, or it may not be opened
  kMissing,  // no device node at the path
};

// One attempt of the port test on the device node at `path`, speaking as
// `candidate` (its test line and its serialLink). On kLoader the link keeps
// the port and its reader; otherwise neither is left. No sync-process stop.
PortAnswer ProbePort(LoaderLink& link, const std::filesystem::path& path, const PortCandidate& candidate);

// The port test on one port instead of the rotation: the sync processes
// stopped as TestPorts does, then as many attempts on `path` as the rotation
// gives each candidate. Returns 1 or 0 as TestPorts does.
uint32_t TestPort(LoaderLink& link, const std::filesystem::path& path, const PortCandidate& candidate,
                  const SyncStopper& stopSync);

}  // namespace corvash::bootlink
