#pragma once
// Device paths of the handheld's file store ("\Windows\Zembra.dll",
// "\temp\image.nb") and the host files that hold them, under the store's
// folder (common::Folder::FileStoreDir). Used alike by the device end of
// the remote API and by the device programs' platform layer, so that both
// name the same file for the same device path.
//
// The store ignores letter case (ASCII letters): every component is looked up
// among the existing entries of its folder without regard to case; a missing
// last component keeps the spelling given (it names a file to be made).
// Both "\" and "/" separate components; a path without a leading separator is
// taken from the store's root (the handheld has no current folder).
//
// Refused, so that no device path reaches outside the store: "." and ".."
// components, empty components inside the path, drive or stream names (":"),
// characters Windows does not allow in names (< > " | ? * and control
// characters), paths longer than 260 units, and any existing component that
// is a symbolic link. Pure functions over the host file system; any thread.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::common {

inline constexpr size_t kMaxDevicePath = 260;

// The components of a device path; nullopt when the path is refused. An
// empty vector is the store's root.
std::optional<std::vector<std::string>> SplitDevicePath(std::string_view devicePath);

// The host path of `devicePath` (UTF-8) under `storeRoot`; nullopt when the
// path is refused or passes through a symbolic link.
std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& storeRoot,
                                                       std::string_view devicePath);
// The same for a UTF-16 device path (cut at its first zero unit).
std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& storeRoot,
                                                       std::u16string_view devicePath);

// "\Temp\image.nb" for `hostPath` = storeRoot/Temp/image.nb; empty when
// `hostPath` does not lie under `storeRoot`.
std::string DevicePathOf(const std::filesystem::path& storeRoot, const std::filesystem::path& hostPath);

// Whether two names are equal without regard to ASCII letter case.
bool SameNameNoCase(std::string_view a, std::string_view b);

}  // namespace corvash::common
