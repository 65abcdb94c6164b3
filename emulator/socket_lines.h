#pragma once
// Lines over a connected stream socket, as the sync socket's two ends
// exchange them.
#include <cstdint>
#include <optional>
#include <string>

namespace corvash::emulator {

// Up to the first LF (not kept), at most 128 bytes, within `waitMs` system
// milliseconds; nullopt on time-out, end of stream, error or a longer line.
std::optional<std::string> ReadSocketLine(int fd, uint32_t waitMs);
// Sends `line` and an LF; a closed peer is not an error here (it shows on reading).
void SendSocketLine(int fd, const std::string& line);

}  // namespace corvash::emulator
