#pragma once
// Waits of the flash side. Each looks at what it waits for as soon as the
// thread that changes it says so (NotifyLinkChange), and at least once per
// its period, so a change that nobody announces is still seen within the
// period. Every wait gives up as soon as the link is declared dead
// (linkClosed = 1), so that no worker outlives the page that it served.
//
// Writers announce a change after making it; waiters take the change count
// before they look. A change made between a waiter's look and its wait has
// then moved the count already, and the wait passes at once: no change is
// missed, whether it came before the wait began or during it.
#include <cstdint>
#include <memory>

#include "common/event.h"

namespace corvash::platform {
class SerialPort;
}

namespace corvash::bootlink {

enum class LinkWait { kSignalled, kTimedOut, kLinkClosed };

// ---- The change count -------------------------------------------------------

// How many changes were announced so far. Any thread.
uint64_t LinkChangeCount();
// Announces a change of a field that the waits look at (frameReply,
// readerRunning, linkHandle, flashState, linkClosed) and wakes every wait.
// Call it after the change. Any thread.
void NotifyLinkChange();
// Waits until a change after `seen` (a LinkChangeCount taken earlier) is
// announced or `ms` system milliseconds pass (kInfinite: no limit), but at
// least one real millisecond, so that a tiny time scale turns no wait into a
// spin. True when a change came.
bool WaitLinkChange(uint64_t seen, uint32_t ms);
// How many threads wait in WaitLinkChange now (tests use it to know that a
// waiter is blocked).
uint32_t LinkWaiterCount();

// ---- Writers that announce their change -------------------------------------

// linkClosed := 1: every send is refused from now on, the receive thread
// ends, and every wait here returns.
void DeclareLinkClosed();
// flashState: `from` -> `to` when it holds `from`; false (nothing changed)
// otherwise.
bool MoveFlashState(uint32_t from, uint32_t to);
// linkHandle := `port` (null: none).
void PublishLinkHandle(std::shared_ptr<platform::SerialPort> port);

// ---- Waits --------------------------------------------------------------------

// Waits up to `ms` for `event` (auto-reset events pass one waiter). Checks
// linkClosed at least every 10 system milliseconds (and never busier than
// once per real millisecond).
LinkWait WaitEventWhileLinkOpen(platform::Event& event, uint32_t ms);

// Pauses `ms`; false when linkClosed became 1 first (the pause ends then).
bool PauseWhileLinkOpen(uint32_t ms);

// Waits until linkHandle holds a port, looking at least every millisecond;
// false when linkClosed became 1 first. No limit of its own: the caller's
// watchdog ends the page, and with it the link, when the port never comes.
bool WaitForOpenPort();

}  // namespace corvash::bootlink
