#pragma once
// Virtual memory of a handheld program: reserving address space and binding
// it to the kernel's statically mapped addresses, which is how a program
// reads the flash. Only the flash's window is bound here: kernel addresses
// from 0xA0000000 map the state folder's flash.bin, read-only whatever
// protection is asked for, so that a stray write faults instead of changing
// the flash (flash changes only through KernelIoControl). Any thread.
#include "device/platform/ce_types.h"

namespace corvash::ce {

inline constexpr DWORD MEM_RESERVE = 0x2000;
inline constexpr DWORD MEM_RELEASE = 0x8000;
inline constexpr DWORD PAGE_NOACCESS = 0x01;
inline constexpr DWORD PAGE_READWRITE = 0x04;
inline constexpr DWORD PAGE_NOCACHE = 0x200;

// Reserves `dwSize` bytes of address space (MEM_RESERVE, no access); null
// with ERROR_INVALID_PARAMETER or ERROR_NOT_ENOUGH_MEMORY. The address asked
// for is only a hint.
void* VirtualAlloc(void* lpAddress, DWORD dwSize, DWORD flAllocationType, DWORD flProtect);
// Binds `cbSize` bytes of reserved space at `lpvDest` to the kernel address
// `lpvSrc`. FALSE with ERROR_INVALID_PARAMETER when the destination is not
// inside one reservation or the source leaves the flash, ERROR_NOT_READY
// without a flash file.
BOOL VirtualCopy(void* lpvDest, void* lpvSrc, DWORD cbSize, DWORD fdwProtect);
// Releases a whole reservation (MEM_RELEASE with size 0) and what is bound in it.
BOOL VirtualFree(void* lpAddress, DWORD dwSize, DWORD dwFreeType);

}  // namespace corvash::ce
