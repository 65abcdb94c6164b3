#pragma once
// The prefix: the folder that stands for the Windows world of the desktop
// (registry hives, Windows directory, port names, the sync link's socket).
// CORVASH_PREFIX names it; the default is ~/.corvash.
#include <filesystem>
#include <string>

#include "common/hive.h"

namespace corvash::platform {

std::filesystem::path PrefixDir();
std::filesystem::path UserHivePath();    // user.reg: HKEY_CURRENT_USER
std::filesystem::path SystemHivePath();  // system.reg: HKEY_LOCAL_MACHINE
std::filesystem::path WindowsDir();      // windows/
std::filesystem::path RapiSocketPath();  // rapi.sock
std::filesystem::path InstanceLockPath();  // SETUP.lock

// The device node behind a candidate port name ("com1", "com2",
// "wceusbsh001", "wceusbsh002", compared without regard to case): the link
// dosdevices/NAME when it exists, else /dev/ttyS0, /dev/ttyS1, /dev/ttyUSB0
// or /dev/ttyUSB1. An unknown name gives an empty path.
std::filesystem::path DosDevicePath(const std::string& name);

// The prefix's hives.
common::Hive LoadUserHive();
common::Hive LoadSystemHive();
bool SaveUserHive(const common::Hive& hive);

}  // namespace corvash::platform
