#include <iostream>

#include "emulator/command_line.h"

int main(int argc, char** argv) { return corvash::emulator::RunCommandLine(argc, argv, std::cout, std::cerr); }
