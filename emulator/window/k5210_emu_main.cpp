// k5210-emu's entry in a build with Qt: the command line with its window.
#include <iostream>

#include "emulator/command_line.h"
#include "emulator/window/window_hook.h"

int main(int argc, char** argv) {
  return corvash::emulator::RunCommandLine(argc, argv, std::cout, std::cerr,
                                           corvash::emulator::window::QtWindowHook());
}
