#include "device/platform/device_files.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "common/file_store_paths.h"
#include "common/handheld_folder.h"
#include "common/store_file.h"
#include "device/platform/handle_table.h"

namespace corvash::ce {
namespace {

class OpenFile : public KernelObject {
 public:
  explicit OpenFile(std::unique_ptr<common::StoreFile> file) : file_(std::move(file)) {}
  common::StoreFile& file() const { return *file_; }

 private:
  std::unique_ptr<common::StoreFile> file_;
};

// The store's folder and the host path of a device file in it.
struct StoreEntry {
  std::filesystem::path root;
  std::filesystem::path host;
};

// ERROR_NOT_READY without a state folder, ERROR_INVALID_NAME for a path the
// store refuses or for the store's root itself.
std::optional<StoreEntry> Locate(std::u16string_view devicePath, DWORD* error) {
  const auto folder = common::Folder::FromEnvironment();
  if (!folder) {
    *error = ERROR_NOT_READY;
    return std::nullopt;
  }
  StoreEntry entry{folder->FileStoreDir(), {}};
  const auto host = common::ResolveDevicePath(entry.root, devicePath);
  if (!host || host->lexically_normal() == entry.root.lexically_normal()) {
    *error = ERROR_INVALID_NAME;
    return std::nullopt;
  }
  entry.host = *host;
  return entry;
}

BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateFileW(std::u16string_view lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   DWORD dwCreationDisposition, DWORD /*dwFlagsAndAttributes*/) {
  DWORD error = ERROR_SUCCESS;
  const auto entry = Locate(lpFileName, &error);
  if (!entry) return Fail(error);
  auto file = common::StoreFile::Open(entry->root, entry->host, dwDesiredAccess, dwShareMode,
                                      dwCreationDisposition, &error);
  if (!file) return Fail(error);
  const HANDLE handle = AddHandle(std::make_shared<OpenFile>(std::move(file)));
  SetLastError(error);  // ERROR_ALREADY_EXISTS when an existing file was opened or replaced
  return handle;
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesRead) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  const auto file = FindHandleOf<OpenFile>(hFile);
  if (!file) return Refuse(ERROR_INVALID_HANDLE);
  if (lpBuffer == nullptr && count > 0) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  DWORD error = ERROR_SUCCESS;
  const bool read = file->file().Read(std::span(static_cast<uint8_t*>(lpBuffer), count), &done, &error);
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  return read ? TRUE : Refuse(error);
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesWritten) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  const auto file = FindHandleOf<OpenFile>(hFile);
  if (!file) return Refuse(ERROR_INVALID_HANDLE);
  if (lpBuffer == nullptr && count > 0) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  DWORD error = ERROR_SUCCESS;
  const bool written =
      file->file().Write(std::span(static_cast<const uint8_t*>(lpBuffer), count), &done, &error);
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  return written ? TRUE : Refuse(error);
}

DWORD GetFileSize(HANDLE hFile) {
  const auto file = FindHandleOf<OpenFile>(hFile);
  if (!file) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFu;
  }
  uint64_t size = 0;
  DWORD error = ERROR_SUCCESS;
  if (!file->file().Size(&size, &error)) {
    SetLastError(error);
    return 0xFFFFFFFFu;
  }
  return size > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<DWORD>(size);
}

BOOL DeleteFileW(std::u16string_view lpFileName) {
  DWORD error = ERROR_SUCCESS;
  const auto entry = Locate(lpFileName, &error);
  if (!entry) return Refuse(error);
  if (!common::DeleteStoreFile(entry->root, entry->host, &error)) return Refuse(error);
  return TRUE;
}

}  // namespace corvash::ce
