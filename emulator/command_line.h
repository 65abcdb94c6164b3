#pragma once
// The k5210-emu command line:
//   k5210-emu init STATE [--variant NBT|WBT] [--language ENG] [--version 2.04] [--flash-mb 32] [--rom FILE]
//   k5210-emu run STATE --prefix PREFIX [--port wceusbsh001] [--baud 0] [--window]
//   k5210-emu ctl STATE system|bootloader|off|mains|battery|unplug|plug
//   k5210-emu fault STATE KIND [N]
//   k5210-emu show STATE --flash ADDR LENGTH [--raw] | --screen
// Exit status 0 on success, 1 when the handheld could not do what was asked,
// 2 with one line on standard error for a usage error or an unusable STATE.
#include <functional>
#include <iosfwd>
#include <string>

namespace corvash::emulator {

class HandheldPanel;

// The window of `run --window`, brought by a program that has one (the
// emulator core knows no GUI). Without it --window is refused.
struct WindowHook {
  // Whether a window can be shown here (a display); false with a reason.
  std::function<bool(std::string* error)> canShow;
  // Shows the handheld on the calling thread (the program's main thread)
  // until the window is closed or the panel's service has ended.
  std::function<void(HandheldPanel& panel)> show;
};

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const WindowHook& window = {});

}  // namespace corvash::emulator
