#pragma once
// The sending side of the boot-loader link. SendString is the only way bytes
// reach the loader; the session commands and the read command are built on
// it. Sends are serialised: two threads never interleave their bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvash::bootlink {

// Name of the auto-reset event signalled after every successful send
// (created not signalled on first use; opened by name by its waiters).
inline constexpr const char* SEND_STRING_COMPLETE_EVENT = "SendStringCompleteEvent";

// Writes all `length` bytes (text or binary) to Session().linkHandle.
// Returns 1 when every byte was handed to the port, then signals
// "SendStringCompleteEvent". Returns 0 when:
//  - linkClosed is 1: traces "\nReady write file but disconnect\n" and does
//    nothing else (no write, no event, no watchdog);
//  - there is no open port or the write fails: closes the port and sets
//    linkHandle to none, sets linkClosed to 1, arms the watchdog at 10 ms and
//    traces "\r\n Line 192: Write file fail !\r\n" and
//    "\r\n Line 202:Write file Error! \r\n".
// Blocks for the whole write. Any thread may call it.
uint32_t SendString(const void* bytes, size_t length);
uint32_t SendString(std::string_view text);

// Opens the loader's command session: when commandSessionOpen is 1 first
// sends the CR burst, then "$QEL$\r"; sets commandSessionOpen to 1.
// Returns the result of its last send (callers may ignore it).
uint32_t OpenCommandSession();

// Sends "KVOS$QEL$\rKVOE" and sets commandSessionOpen to 0. Returns the
// result of the send.
uint32_t CloseCommandSession();

// Sends the framed read command for `address` ("KVOSreaddata a0040100 28\rKVOE").
uint32_t SendReadData(uint32_t address);

}  // namespace corvash::bootlink
