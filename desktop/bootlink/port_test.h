#pragma once
// TestPorts: finds the port on which the boot loader answers. Tries COM1,
// WCEUSBSH001, WCEUSBSH002, COM2 twice over; on each it opens the port
// exclusively, sets the line up, starts the receive thread, sends the CR
// burst and the candidate's test line and accepts the port whose echo comes
// back within 3000 ms.
#include <array>
#include <functional>
#include <cstdint>
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
using SyncStopper = std::function<void()>;
uint32_t TestPorts(LoaderLink& link, const SyncStopper& stopSync);

}  // namespace corvash::bootlink
