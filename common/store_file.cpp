#include "common/store_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "common/device_errors.h"
#include "common/refuse_file_record.h"

namespace corvash::common {
namespace {

// Holds the store-wide gate for its lifetime.
class Gate {
 public:
  explicit Gate(const std::filesystem::path& storeRoot)
      : fd_(::open(storeRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~Gate() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the flock
  }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

 private:
  int fd_;
};

struct flock MarkLock(ShareMark mark, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kShareMarkBase + static_cast<int>(mark);
  lock.l_len = 1;
  return lock;
}

// Whether another open file holds `mark`.
bool MarkHeld(int fd, ShareMark mark) {
  struct flock probe = MarkLock(mark, F_WRLCK);
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return true;  // cannot tell: take it as held
  return probe.l_type != F_UNLCK;
}

bool TakeMark(int fd, ShareMark mark) {
  struct flock lock = MarkLock(mark, F_RDLCK);
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

uint32_t ErrorOf(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EISDIR:
    case EACCES:
    case EPERM:
    case ELOOP: return ERROR_ACCESS_DENIED;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_ACCESS_DENIED;
  }
}

// Checks `access`/`share` against the marks of the files open now and
// takes this file's own marks. False with ERROR_SHARING_VIOLATION.
bool ClaimSharing(int fd, uint32_t access, uint32_t share, uint32_t* lastError) {
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  const bool deniesRead = (share & FILE_SHARE_READ) == 0;
  const bool deniesWrite = (share & FILE_SHARE_WRITE) == 0;
  if ((reads && MarkHeld(fd, ShareMark::DenyRead)) || (writes && MarkHeld(fd, ShareMark::DenyWrite)) ||
      (deniesRead && MarkHeld(fd, ShareMark::ReadAccess)) ||
      (deniesWrite && MarkHeld(fd, ShareMark::WriteAccess))) {
    *lastError = ERROR_SHARING_VIOLATION;
    return false;
  }
  bool taken = TakeMark(fd, ShareMark::Open);
  if (reads) taken = taken && TakeMark(fd, ShareMark::ReadAccess);
  if (writes) taken = taken && TakeMark(fd, ShareMark::WriteAccess);
  if (deniesRead) taken = taken && TakeMark(fd, ShareMark::DenyRead);
  if (deniesWrite) taken = taken && TakeMark(fd, ShareMark::DenyWrite);
  if (!taken) *lastError = ERROR_ACCESS_DENIED;
  return taken;
}

// Whether any open file holds `hostPath` (lstat'ed as a regular file).
bool OpenAnywhere(const std::filesystem::path& hostPath) {
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool held = MarkHeld(fd, ShareMark::Open);
  ::close(fd);
  return held;
}

}  // namespace

std::unique_ptr<StoreFile> StoreFile::Open(const std::filesystem::path& storeRoot,
                                           const std::filesystem::path& hostPath, uint32_t access, uint32_t share,
                                           uint32_t disposition, uint32_t* lastError) {
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
      (disposition == TRUNCATE_EXISTING && (access & GENERIC_WRITE) == 0)) {
    *lastError = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  const Gate gate(storeRoot);
  struct stat before {};
  const bool existed = ::lstat(hostPath.c_str(), &before) == 0;
  if (existed && !S_ISREG(before.st_mode)) {
    *lastError = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (!existed && errno == ENOENT && !std::filesystem::is_directory(hostPath.parent_path())) {
    *lastError = ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  // An armed refuse-file fault is decided here, under the gate, for every
  // creator of the store alike.
  const bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS ||
                       (disposition == OPEN_ALWAYS && !existed);
  std::optional<CreationCheck> creation;
  if (creates) {
    creation.emplace(RefuseFileRecordPath(storeRoot), hostPath.filename().string());
    if (!creation->Allowed()) {
      *lastError = ERROR_ACCESS_DENIED;
      return nullptr;
    }
  }
  int flags = O_CLOEXEC | O_NOFOLLOW;
  if (disposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
  if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) flags |= O_CREAT;
  int fd = ::open(hostPath.c_str(), flags | O_RDWR, 0644);
  if (fd < 0 && errno == EACCES && (access & GENERIC_WRITE) == 0) fd = ::open(hostPath.c_str(), flags | O_RDONLY);
  if (fd < 0) {
    *lastError = ErrorOf(errno);
    return nullptr;
  }
  std::unique_ptr<StoreFile> file(new StoreFile(fd, access));
  if (!ClaimSharing(fd, access, share, lastError)) return nullptr;
  if ((disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) && existed && ::ftruncate(fd, 0) != 0) {
    *lastError = ErrorOf(errno);
    return nullptr;
  }
  if (creation) creation->Count();
  *lastError = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                       : ERROR_SUCCESS;
  return file;
}

StoreFile::~StoreFile() { ::close(fd_); }

bool StoreFile::Read(std::span<uint8_t> buffer, uint32_t* done, uint32_t* lastError) {
  *done = 0;
  if ((access_ & GENERIC_READ) == 0) {
    *lastError = ERROR_ACCESS_DENIED;
    return false;
  }
  while (*done < buffer.size()) {
    const ssize_t count = ::read(fd_, buffer.data() + *done, buffer.size() - *done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      *lastError = ErrorOf(errno);
      return false;
    }
    if (count == 0) break;
    *done += static_cast<uint32_t>(count);
  }
  return true;
}

bool StoreFile::Write(std::span<const uint8_t> data, uint32_t* done, uint32_t* lastError) {
  *done = 0;
  if ((access_ & GENERIC_WRITE) == 0) {
    *lastError = ERROR_ACCESS_DENIED;
    return false;
  }
  while (*done < data.size()) {
    const ssize_t count = ::write(fd_, data.data() + *done, data.size() - *done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      *lastError = count < 0 ? ErrorOf(errno) : ERROR_DISK_FULL;
      return false;
    }
    *done += static_cast<uint32_t>(count);
  }
  return true;
}

bool StoreFile::Size(uint64_t* size, uint32_t* lastError) const {
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    *lastError = ErrorOf(errno);
    return false;
  }
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool DeleteStoreFile(const std::filesystem::path& storeRoot, const std::filesystem::path& hostPath,
                     uint32_t* lastError) {
  const Gate gate(storeRoot);
  struct stat info {};
  if (::lstat(hostPath.c_str(), &info) != 0) {
    *lastError = ErrorOf(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    *lastError = ERROR_ACCESS_DENIED;
    return false;
  }
  if (OpenAnywhere(hostPath)) {
    *lastError = ERROR_SHARING_VIOLATION;
    return false;
  }
  if (::unlink(hostPath.c_str()) != 0) {
    *lastError = ErrorOf(errno);
    return false;
  }
  return true;
}

bool MoveStoreFile(const std::filesystem::path& storeRoot, const std::filesystem::path& from,
                   const std::filesystem::path& to, uint32_t* lastError) {
  const Gate gate(storeRoot);
  struct stat info {};
  if (::lstat(from.c_str(), &info) != 0) {
    *lastError = ErrorOf(errno);
    return false;
  }
  if (::lstat(to.c_str(), &info) == 0) {
    *lastError = ERROR_ALREADY_EXISTS;
    return false;
  }
  if (OpenAnywhere(from)) {
    *lastError = ERROR_SHARING_VIOLATION;
    return false;
  }
  if (::rename(from.c_str(), to.c_str()) != 0) {
    *lastError = errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorOf(errno);
    return false;
  }
  return true;
}

}  // namespace corvash::common
