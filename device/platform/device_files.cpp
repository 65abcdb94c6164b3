#include "device/platform/device_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "device/platform/file_store.h"
#include "device/platform/handle_table.h"

namespace corvash::ce {
namespace {

// Open files mark what they hold and what they deny with shared locks on
// bytes far beyond any content (open file description locks, so they belong
// to the open file, not to the process, and go with its last descriptor).
constexpr off_t kMarkBase = std::numeric_limits<off_t>::max() - 16;
enum Mark : off_t { kOpen = 0, kReads = 1, kWrites = 2, kDeniesRead = 3, kDeniesWrite = 4 };

bool MarkHeld(int fd, Mark mark) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kMarkBase + mark;
  probe.l_len = 1;
  return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

bool HoldMark(int fd, Mark mark) {
  struct flock hold {};
  hold.l_type = F_RDLCK;
  hold.l_whence = SEEK_SET;
  hold.l_start = kMarkBase + mark;
  hold.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &hold) == 0;
}

// Serialises the checks and marks of one folder's files between all openers.
class FolderLock {
 public:
  explicit FolderLock(int folder) : fd_(folder) {
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FolderLock() { ::flock(fd_, LOCK_UN); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

class OpenFile : public KernelObject {
 public:
  OpenFile(UniqueFd fd, DWORD access) : fd_(std::move(fd)), access_(access) {}
  int fd() const { return fd_.get(); }
  bool CanRead() const { return (access_ & GENERIC_READ) != 0; }
  bool CanWrite() const { return (access_ & GENERIC_WRITE) != 0; }

 private:
  UniqueFd fd_;
  DWORD access_;
};

BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

DWORD ErrorOfOpen(int error) {
  switch (error) {
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ELOOP:
    case EISDIR:
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    default: return ERROR_INVALID_PARAMETER;
  }
}

bool ShareConflict(int fd, DWORD access, DWORD share) {
  return ((access & GENERIC_READ) && MarkHeld(fd, kDeniesRead)) ||
         ((access & GENERIC_WRITE) && MarkHeld(fd, kDeniesWrite)) ||
         (!(share & FILE_SHARE_READ) && MarkHeld(fd, kReads)) ||
         (!(share & FILE_SHARE_WRITE) && MarkHeld(fd, kWrites));
}

bool HoldMarks(int fd, DWORD access, DWORD share) {
  return HoldMark(fd, kOpen) && (!(access & GENERIC_READ) || HoldMark(fd, kReads)) &&
         (!(access & GENERIC_WRITE) || HoldMark(fd, kWrites)) &&
         ((share & FILE_SHARE_READ) || HoldMark(fd, kDeniesRead)) &&
         ((share & FILE_SHARE_WRITE) || HoldMark(fd, kDeniesWrite));
}

// A writer's descriptor can read too: the marks are read locks, which need
// it. The handle's own access decides what ReadFile and WriteFile allow.
int OpenFlags(DWORD access) { return ((access & GENERIC_WRITE) ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC; }

}  // namespace

HANDLE CreateFileW(std::u16string_view lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   DWORD dwCreationDisposition, DWORD /*dwFlagsAndAttributes*/) {
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  StorePath path;
  if (const DWORD error = ResolveStorePath(lpFileName, &path); error != ERROR_SUCCESS) return Fail(error);
  const FolderLock lock(path.folder.get());

  const bool creates = dwCreationDisposition == CREATE_NEW || dwCreationDisposition == CREATE_ALWAYS ||
                       dwCreationDisposition == OPEN_ALWAYS;
  const int flags = OpenFlags(dwDesiredAccess);
  bool existed = true;
  UniqueFd fd;
  if (creates) {
    fd = UniqueFd(::openat(path.folder.get(), path.name.c_str(), flags | O_CREAT | O_EXCL, 0644));
    existed = !fd.valid();
    if (existed && (errno != EEXIST || dwCreationDisposition == CREATE_NEW)) return Fail(ErrorOfOpen(errno));
  }
  if (!fd.valid()) fd = UniqueFd(::openat(path.folder.get(), path.name.c_str(), flags));
  if (!fd.valid()) return Fail(ErrorOfOpen(errno));

  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (ShareConflict(fd.get(), dwDesiredAccess, dwShareMode)) return Fail(ERROR_SHARING_VIOLATION);
  const bool truncates = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
  if (truncates && (!(dwDesiredAccess & GENERIC_WRITE) || ::ftruncate(fd.get(), 0) != 0)) {
    return Fail(ERROR_ACCESS_DENIED);
  }
  if (!HoldMarks(fd.get(), dwDesiredAccess, dwShareMode)) return Fail(ERROR_SHARING_VIOLATION);
  const HANDLE handle = AddHandle(std::make_shared<OpenFile>(std::move(fd), dwDesiredAccess));
  SetLastError(existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesRead) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  const auto file = FindHandleOf<OpenFile>(hFile);
  if (!file) return Refuse(ERROR_INVALID_HANDLE);
  if (!file->CanRead() || (lpBuffer == nullptr && count > 0)) return Refuse(ERROR_ACCESS_DENIED);
  auto* out = static_cast<uint8_t*>(lpBuffer);
  DWORD done = 0;
  while (done < count) {
    const ssize_t got = ::read(file->fd(), out + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Refuse(ERROR_READ_FAULT);
    if (got == 0) break;
    done += static_cast<DWORD>(got);
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD count, DWORD* lpNumberOfBytesWritten) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  const auto file = FindHandleOf<OpenFile>(hFile);
  if (!file) return Refuse(ERROR_INVALID_HANDLE);
  if (!file->CanWrite() || (lpBuffer == nullptr && count > 0)) return Refuse(ERROR_ACCESS_DENIED);
  const auto* in = static_cast<const uint8_t*>(lpBuffer);
  DWORD done = 0;
  while (done < count) {
    const ssize_t put = ::write(file->fd(), in + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
      return Refuse(ERROR_WRITE_FAULT);
    }
    done += static_cast<DWORD>(put);
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE hFile) {
  const auto file = FindHandleOf<OpenFile>(hFile);
  struct stat info {};
  if (!file || ::fstat(file->fd(), &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFu;
  }
  return static_cast<DWORD>(info.st_size);
}

BOOL DeleteFileW(std::u16string_view lpFileName) {
  StorePath path;
  if (const DWORD error = ResolveStorePath(lpFileName, &path); error != ERROR_SUCCESS) return Refuse(error);
  if (!path.exists) return Refuse(ERROR_FILE_NOT_FOUND);
  const FolderLock lock(path.folder.get());
  struct stat info {};
  if (::fstatat(path.folder.get(), path.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return Refuse(ERROR_FILE_NOT_FOUND);
  }
  if (S_ISREG(info.st_mode)) {
    const UniqueFd probe(::openat(path.folder.get(), path.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (probe.valid() && MarkHeld(probe.get(), kOpen)) return Refuse(ERROR_SHARING_VIOLATION);
  } else if (!S_ISLNK(info.st_mode)) {
    return Refuse(ERROR_ACCESS_DENIED);
  }
  if (::unlinkat(path.folder.get(), path.name.c_str(), 0) != 0) return Refuse(ERROR_ACCESS_DENIED);
  return TRUE;
}

}  // namespace corvash::ce
