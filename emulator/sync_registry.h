#pragma once
// The desktop sync software's entries in a prefix's system.reg
// (HKEY_LOCAL_MACHINE), as the sync software's setup would leave them:
//   SOFTWARE\Microsoft\Windows CE Services: "MajorVersion"=3, "MinorVersion"=5
//   SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WCESCOMM.EXE: @ = the connection program
#include <filesystem>
#include <string>

namespace corvash::emulator {

// Adds each of the entries above that `systemHive` lacks; every value there
// stays as it is. A hive that exists but is no REGEDIT4 file is left alone
// (false with `error`), as is one that lacks nothing.
bool AddSyncSoftwareEntries(const std::filesystem::path& systemHive, const std::filesystem::path& commProgram,
                            std::string* error);

}  // namespace corvash::emulator
