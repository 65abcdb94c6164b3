#pragma once
// Files in the handheld's file store (the state folder's files/), with the
// platform's access, sharing and creation rules. Paths and sharing are the
// store's own (common/file_store_paths.h, common/store_file.h), the same
// code the device end of the remote API opens files with, so the rules hold
// between the device programs and the desktop: an open file whose opener did
// not share read (write) access cannot be opened again for reading
// (writing), a file open for reading (writing) cannot be opened by one who
// will not share that, and an open file cannot be deleted. Device paths are
// looked up without regard to letter case; "\" and "/" both separate. Any
// thread.
#include <cstdint>
#include <string_view>

#include "common/file_access.h"
#include "device/platform/ce_types.h"

namespace corvash::ce {

// CreateFileW's values, shared with the remote API and the file store.
using common::CREATE_ALWAYS;
using common::CREATE_NEW;
using common::FILE_ATTRIBUTE_NORMAL;
using common::FILE_SHARE_READ;
using common::FILE_SHARE_WRITE;
using common::GENERIC_READ;
using common::GENERIC_WRITE;
using common::OPEN_ALWAYS;
using common::OPEN_EXISTING;
using common::TRUNCATE_EXISTING;

// A handle for CloseHandle (handle_table.h), or INVALID_HANDLE_VALUE with the
// last error: ERROR_FILE_EXISTS (CREATE_NEW on an existing file),
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME (a path the
// store refuses), ERROR_NOT_READY (no state folder),
// ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED (a folder or a link),
// ERROR_INVALID_PARAMETER (an unknown disposition). CREATE_ALWAYS and
// OPEN_ALWAYS on an existing file succeed with ERROR_ALREADY_EXISTS as the
// last error. Attributes are ignored.
HANDLE CreateFileW(std::u16string_view lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes = FILE_ATTRIBUTE_NORMAL);

// Reads up to `count` bytes; TRUE with 0 bytes at the end of the file.
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesRead);
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesWritten);
// The file's size; 0xFFFFFFFF with the last error set for a bad handle.
DWORD GetFileSize(HANDLE hFile);
// ERROR_SHARING_VIOLATION while the file is open anywhere, ERROR_ACCESS_DENIED
// for a folder, ERROR_FILE_NOT_FOUND when missing.
BOOL DeleteFileW(std::u16string_view lpFileName);

}  // namespace corvash::ce
