#pragma once
// The access, sharing, creation and attribute values of the handheld's
// CreateFile, as the desktop sends them over the remote API, the remote
// API's device end passes them to the file store, and the device programs
// open files with them. Defined here once for every side.
#include <cstdint>

namespace corvash::common {

inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr uint32_t FILE_SHARE_READ = 0x1u;
inline constexpr uint32_t FILE_SHARE_WRITE = 0x2u;
inline constexpr uint32_t CREATE_NEW = 1;
inline constexpr uint32_t CREATE_ALWAYS = 2;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t OPEN_ALWAYS = 4;
inline constexpr uint32_t TRUNCATE_EXISTING = 5;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80u;

}  // namespace corvash::common
