#pragma once
// Copying a file from the PC to the handheld over an open remote-API session.
#include <cstdint>
#include <string>
#include <string_view>

#include "rapi/remote_api.h"

namespace corvash::handheld {

// Device folder of the libraries the desktop invokes.
inline constexpr std::string_view kDeviceWindowsDir = "\\Windows\\";

// Copies `pcPath` to `devicePath`, replacing a file of that name, in pieces
// of 256 bytes. 1 when the handheld now holds the whole file; 0 when the PC
// file cannot be opened or read, or the device file cannot be created or
// written (a partly written device file is closed and left as it is). A
// device file that exists and cannot be replaced counts as a failure. The
// PC file and the device file are closed on every path. Wizard thread.
uint32_t CopyFileToDevice(rapi::RemoteApi& api, std::string_view pcPath, const std::u16string& devicePath);

// "<programDir>/<name>": a companion file beside the program.
std::string ProgramFilePath(std::string_view programDir, std::string_view name);

}  // namespace corvash::handheld
