#pragma once
// The Windows CE types, constants and error codes that the programs on the
// handheld use. Text on the handheld is UTF-16 (WCHAR is char16_t).
#include <cstdint>

#include "common/device_errors.h"

namespace corvash::ce {

using BOOL = int32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using UINT = uint32_t;
using WCHAR = char16_t;
using HANDLE = void*;
using HLOCAL = uint8_t*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t{0});

// Errors the services report through GetLastError (common/device_errors.h).
using common::ERROR_ACCESS_DENIED;
using common::ERROR_ALREADY_EXISTS;
using common::ERROR_CANNOT_FIND_WND_CLASS;
using common::ERROR_CLASS_ALREADY_EXISTS;
using common::ERROR_FILE_EXISTS;
using common::ERROR_FILE_NOT_FOUND;
using common::ERROR_INSUFFICIENT_BUFFER;
using common::ERROR_INVALID_HANDLE;
using common::ERROR_INVALID_NAME;
using common::ERROR_INVALID_PARAMETER;
using common::ERROR_INVALID_WINDOW_HANDLE;
using common::ERROR_NOT_ENOUGH_MEMORY;
using common::ERROR_NOT_READY;
using common::ERROR_NOT_SUPPORTED;
using common::ERROR_PATH_NOT_FOUND;
using common::ERROR_READ_FAULT;
using common::ERROR_SHARING_VIOLATION;
using common::ERROR_SUCCESS;
using common::ERROR_WRITE_FAULT;

// The calling thread's last error.
DWORD GetLastError();
void SetLastError(DWORD error);

}  // namespace corvash::ce
