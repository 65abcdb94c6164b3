#include "device/platform/kernel_io_control.h"

#include <cstring>
#include <optional>
#include <span>
#include <string>

#include "common/handheld_folder.h"
#include "device/platform/flash_file.h"

namespace corvash::ce {
namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL Done(DWORD* lpBytesReturned, DWORD count) {
  if (lpBytesReturned != nullptr) *lpBytesReturned = count;
  return TRUE;
}

BOOL FlashAccess(const void* lpInBuf, DWORD nInBufSize, void* lpOutBuf, DWORD nOutBufSize, DWORD* lpBytesReturned) {
  if (lpInBuf == nullptr || nInBufSize < sizeof(QELWriteData)) return Fail(ERROR_INVALID_PARAMETER);
  QELWriteData request;
  std::memcpy(&request, lpInBuf, sizeof request);
  DWORD error = ERROR_INVALID_PARAMETER;
  DWORD count = 0;
  if (request.command == QEL_READ && lpOutBuf != nullptr) {
    count = request.Length < nOutBufSize ? request.Length : nOutBufSize;
    error = ReadFlash(request.address, std::span<uint8_t>(static_cast<uint8_t*>(lpOutBuf), count));
  } else if (request.command == QEL_WRITE && (request.data != nullptr || request.Length == 0)) {
    error = ProgramFlash(request.address, std::span<const uint8_t>(request.data, request.Length));
  }
  if (error != ERROR_SUCCESS) return Fail(error);
  return Done(lpBytesReturned, count);
}

// Flash size in MiB from handheld.conf; nullopt when missing or not 1 to 999.
std::optional<uint32_t> FlashMegabytes() {
  const auto folder = common::Folder::FromEnvironment();
  if (!folder) return std::nullopt;
  const auto text = folder->ConfigValue("flash_mb");
  if (!text || text->empty() || text->size() > 3) return std::nullopt;
  uint32_t value = 0;
  for (char c : *text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value == 0) return std::nullopt;
  return value;
}

BOOL DeviceInfo(void* lpOutBuf, DWORD nOutBufSize, DWORD* lpBytesReturned) {
  if (lpOutBuf == nullptr || nOutBufSize < kDeviceInfoSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
  const auto megabytes = FlashMegabytes();
  if (!megabytes) return Fail(ERROR_NOT_READY);
  const uint32_t banks = (*megabytes + 31) / 32;
  auto* record = static_cast<uint8_t*>(lpOutBuf);
  std::memset(record, 0, kDeviceInfoSize);
  record[kDeviceInfoSizeDigit] = static_cast<uint8_t>('0' + (banks > 9 ? 9 : banks));
  return Done(lpBytesReturned, kDeviceInfoSize);
}

}  // namespace

BOOL KernelIoControl(DWORD dwIoControlCode, void* lpInBuf, DWORD nInBufSize, void* lpOutBuf, DWORD nOutBufSize,
                     DWORD* lpBytesReturned) {
  switch (dwIoControlCode) {
    case IOCTL_HAL_FLASH_ACCESS: return FlashAccess(lpInBuf, nInBufSize, lpOutBuf, nOutBufSize, lpBytesReturned);
    case IOCTL_HAL_DEVICE_INFO: return DeviceInfo(lpOutBuf, nOutBufSize, lpBytesReturned);
    default: return Fail(ERROR_NOT_SUPPORTED);
  }
}

}  // namespace corvash::ce
