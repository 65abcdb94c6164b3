#pragma once
// Whole messages of the remote-API wire on a stream socket, with time
// limits in system milliseconds (scaled by the clock). Any thread; one reader
// and one writer per socket at a time.
#include <cstdint>
#include <span>
#include <vector>

#include "rapi/remote_wire.h"

namespace corvash::rapi::wire {

enum class ReadStatus { Ok, Closed, TimedOut, TooLong };

struct RawMessage {
  Header header;
  std::vector<uint8_t> payload;
};

// Reads one message. The header may take `headerWaitMs` to arrive (kInfinite:
// until the peer closes or the socket is shut down), the payload after it
// `bodyWaitMs`. A header announcing more than kMaxPayload gives TooLong with
// the payload still unread (see Discard).
ReadStatus ReadMessage(int fd, RawMessage* message, uint32_t headerWaitMs, uint32_t bodyWaitMs);
// Waits until something can be read (or the peer has gone) for `waitMs`
// (kInfinite: until then or the socket is shut down); false on time-out.
bool WaitForInput(int fd, uint32_t waitMs);
// Reads and drops `count` bytes; false when the peer closes or it takes longer
// than `waitMs`.
bool Discard(int fd, uint64_t count, uint32_t waitMs);
// Writes all of `bytes` within `waitMs`; false when the peer is gone or slow.
bool WriteAll(int fd, std::span<const uint8_t> bytes, uint32_t waitMs);

}  // namespace corvash::rapi::wire
