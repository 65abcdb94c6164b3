#pragma once
// Files of the handheld's file store opened as the handheld's CreateFile
// opens them: access, sharing and disposition, with the sharing rules held
// across every process that uses the store (the device end of the remote
// API and the device programs alike).
//
// The convention, which every user of the store keeps through this code:
// - a store-wide gate: an exclusive flock on the store's root folder, held
//   only while a file is opened, created, deleted or moved (never during
//   reads and writes), so that "check the sharing, then take it" is atomic;
// - sharing marks: open-file-description (OFD) read locks on single bytes
//   far beyond any file's end (kShareMarkBase + mark), held by every open
//   file for as long as it stays open: "open", "has read access", "has write
//   access", "denies read", "denies write". An opener tests the marks that
//   conflict with it (a write-lock probe) before taking its own.
// The marks go with the open file description: they vanish when the file is
// closed or its process ends, and every descriptor is close-on-exec, so a
// started program never inherits them.
//
// All calls are thread-safe; a StoreFile is used by one thread at a time.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "common/file_access.h"

namespace corvash::common {

inline constexpr off_t kShareMarkBase = static_cast<off_t>(1) << 62;
enum class ShareMark : int { Open = 0, ReadAccess = 1, WriteAccess = 2, DenyRead = 3, DenyWrite = 4 };

class StoreFile {
 public:
  // Opens `hostPath` (from ResolveDevicePath under `storeRoot`). Null with
  // `*lastError` (device error code) on failure: ERROR_FILE_EXISTS for
  // create-new on an existing file, ERROR_FILE_NOT_FOUND / PATH_NOT_FOUND,
  // ERROR_SHARING_VIOLATION while another open file forbids it (nothing is
  // truncated then), ERROR_ACCESS_DENIED for a folder or a creation that the
  // armed refuse-file fault refuses (refuse_file_record.h; a creation is
  // create-new, create-always, or open-always of a missing file, and each
  // one that succeeds is counted), ERROR_INVALID_PARAMETER for an unknown
  // disposition. On success `*lastError` is
  // ERROR_ALREADY_EXISTS when create-always or open-always found the file,
  // else 0.
  static std::unique_ptr<StoreFile> Open(const std::filesystem::path& storeRoot,
                                         const std::filesystem::path& hostPath, uint32_t access, uint32_t share,
                                         uint32_t disposition, uint32_t* lastError);
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  // From the current position; false with `*lastError` when the file was not
  // opened for it or the host call fails. A read at the end gives 0 bytes.
  bool Read(std::span<uint8_t> buffer, uint32_t* done, uint32_t* lastError);
  bool Write(std::span<const uint8_t> data, uint32_t* done, uint32_t* lastError);
  // The file's size in bytes; false with `*lastError` when the host call fails.
  bool Size(uint64_t* size, uint32_t* lastError) const;

 private:
  StoreFile(int fd, uint32_t access) : fd_(fd), access_(access) {}
  int fd_;
  uint32_t access_;
};

// Deletes the file at `hostPath`; false with ERROR_SHARING_VIOLATION while it
// is open anywhere, ERROR_FILE_NOT_FOUND when missing, ERROR_ACCESS_DENIED
// for a folder.
bool DeleteStoreFile(const std::filesystem::path& storeRoot, const std::filesystem::path& hostPath,
                     uint32_t* lastError);
// Renames `from` to `to`; false with ERROR_ALREADY_EXISTS when `to` exists,
// ERROR_SHARING_VIOLATION while `from` is open anywhere.
bool MoveStoreFile(const std::filesystem::path& storeRoot, const std::filesystem::path& from,
                   const std::filesystem::path& to, uint32_t* lastError);

}  // namespace corvash::common
