#pragma once
// The Qt window of `k5210-emu run --window` (command_line.h's WindowHook):
// a display is needed (DISPLAY, WAYLAND_DISPLAY, or QT_QPA_PLATFORM naming
// one, offscreen included); the window runs a QApplication on the calling
// thread until it is closed or the handheld's service ends.
#include "emulator/command_line.h"

namespace corvash::emulator::window {

WindowHook QtWindowHook();

}  // namespace corvash::emulator::window
