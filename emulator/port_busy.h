#pragma once
// A port held as another program holds it: the device opened once more,
// locked with an exclusive advisory lock and marked exclusive (TIOCEXCL), so
// that the desktop's exclusive open (the lock first, then the mark) fails
// with access denied until the holder lets go or ends.
#include <filesystem>
#include <string>

namespace corvash::emulator {

// The holding descriptor; -1 with `error` when the device cannot be opened
// or someone holds its lock already.
int OpenPortBusy(const std::filesystem::path& device, std::string* error);

// Takes the exclusive mark back (it belongs to the device and outlives the
// descriptor), unlocks and closes `fd`, and sets it to -1. Does nothing for -1.
void ReleasePortBusy(int& fd);

}  // namespace corvash::emulator
