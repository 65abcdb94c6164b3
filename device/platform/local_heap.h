#pragma once
// The handheld's local heap. Blocks come zero-filled from the one allocator
// that the remote-API layer frees with (common/device_extension.h), so an
// output buffer a library allocates here is released there.
#include "common/device_extension.h"
#include "device/platform/ce_types.h"

namespace corvash::ce {

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;
inline constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// A block of `bytes` bytes (always zero-filled); null when memory runs out.
inline HLOCAL LocalAlloc(UINT /*flags*/, UINT bytes) { return common::DeviceLocalAlloc(bytes); }
// Frees `block`; returns null as the platform does on success.
inline HLOCAL LocalFree(HLOCAL block) {
  common::DeviceLocalFree(block);
  return nullptr;
}

}  // namespace corvash::ce
