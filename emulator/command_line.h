#pragma once
// The k5210-emu command line:
//   k5210-emu init STATE [--variant NBT|WBT] [--language ENG] [--version 2.04] [--flash-mb 32] [--rom FILE]
//   k5210-emu run STATE --prefix PREFIX [--port wceusbsh001] [--baud 0]
//   k5210-emu ctl STATE system|bootloader|off|mains|battery|unplug|plug
//   k5210-emu fault STATE KIND [N]
//   k5210-emu show STATE --flash ADDR LENGTH [--raw] | --screen
// Exit status 0 on success, 1 when the handheld could not do what was asked,
// 2 with one line on standard error for a usage error or an unusable STATE.
#include <iosfwd>

namespace corvash::emulator {

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace corvash::emulator
