#pragma once
// The kernel I/O-control call to the handheld's hardware layer, with the two
// requests the programs on the handheld make. Any thread.
//
// IOCTL_HAL_FLASH_ACCESS (0x01012410): one read or write of flash. The input
// is a QELWriteData; the output buffer receives the bytes of a read.
//   read  (command 1): min(Length, output size) bytes at `address`
//   write (command 2): programs Length bytes from `data` at `address`; flash
//                      is NOR, so bits only clear (new = old & data) and
//                      nothing erases.
// IOCTL_HAL_DEVICE_INFO (0x01010102): no input; fills a 2288-byte record,
// zero but for one UTF-16 decimal digit at byte 60 that tells the flash's
// size: the number of 32 MiB banks, ceil(flash_mb / 32) from handheld.conf
// ('1' up to 32 MiB, '2' up to 64 MiB). The backup agent reads a digit
// below 2 as a ROM image of 0x1F00000 bytes, else 0x2000000.
//
// Returns TRUE when done. FALSE with the last error: ERROR_INVALID_PARAMETER
// (a missing or short buffer, an unknown command, a range outside the flash),
// ERROR_INSUFFICIENT_BUFFER (device-info output under 2288 bytes),
// ERROR_NOT_READY (no state folder, flash file or flash size),
// ERROR_NOT_SUPPORTED (any other code), or the flash file's read or write fault.
#include <cstddef>
#include <cstdint>

#include "device/platform/ce_types.h"

namespace corvash::ce {

inline constexpr DWORD IOCTL_HAL_FLASH_ACCESS = 0x01012410u;
inline constexpr DWORD IOCTL_HAL_DEVICE_INFO = 0x01010102u;

inline constexpr DWORD QEL_READ = 1;
inline constexpr DWORD QEL_WRITE = 2;

// The flash request. On the handheld the record is 16 bytes (a 32-bit
// pointer); here it is sizeof(QELWriteData), which is what callers pass.
struct QELWriteData {
  DWORD command = 0;
  DWORD address = 0;
  DWORD Length = 0;
  const uint8_t* data = nullptr;
};

inline constexpr size_t kDeviceInfoSize = 2288;
inline constexpr size_t kDeviceInfoSizeDigit = 60;  // byte offset of the digit

BOOL KernelIoControl(DWORD dwIoControlCode, void* lpInBuf, DWORD nInBufSize, void* lpOutBuf, DWORD nOutBufSize,
                     DWORD* lpBytesReturned);

}  // namespace corvash::ce
