#include "device/platform/flash_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/flash_layout.h"
#include "common/handheld_folder.h"

namespace corvash::ce {
namespace {

// An open flash file, closed on every path.
class FlashFd {
 public:
  explicit FlashFd(bool writable) {
    const auto folder = common::Folder::FromEnvironment();
    if (folder) fd_ = ::open(folder->FlashPath().c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    struct stat info {};
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0) size_ = static_cast<uint64_t>(info.st_size);
  }
  ~FlashFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  FlashFd(const FlashFd&) = delete;
  FlashFd& operator=(const FlashFd&) = delete;

  int fd() const { return fd_; }
  bool Open() const { return fd_ >= 0; }
  // The file offset of [address, address + length) when it lies inside the file.
  bool OffsetOf(uint32_t address, size_t length, off_t* offset) const {
    if (address < common::kFlashBase) return false;
    const uint64_t start = address - common::kFlashBase;
    if (start > size_ || length > size_ - start) return false;
    *offset = static_cast<off_t>(start);
    return true;
  }
  // Holds a read or write lock on a byte range until the descriptor closes
  // or Unlock; waits for other holders.
  bool Lock(off_t offset, size_t length, short type) const {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = offset;
    range.l_len = static_cast<off_t>(length);
    while (::fcntl(fd_, F_OFD_SETLKW, &range) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

bool ReadAll(int fd, uint8_t* out, size_t length, off_t offset) {
  while (length > 0) {
    const ssize_t got = ::pread(fd, out, length, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += got;
    length -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t length, off_t offset) {
  while (length > 0) {
    const ssize_t put = ::pwrite(fd, bytes, length, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    offset += put;
    length -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

DWORD ReadFlash(uint32_t address, std::span<uint8_t> out) {
  const FlashFd file(false);
  if (!file.Open()) return ERROR_NOT_READY;
  off_t offset = 0;
  if (!file.OffsetOf(address, out.size(), &offset)) return ERROR_INVALID_PARAMETER;
  if (out.empty()) return ERROR_SUCCESS;
  if (!file.Lock(offset, out.size(), F_RDLCK)) return ERROR_READ_FAULT;
  return ReadAll(file.fd(), out.data(), out.size(), offset) ? ERROR_SUCCESS : ERROR_READ_FAULT;
}

DWORD ProgramFlash(uint32_t address, std::span<const uint8_t> bytes) {
  const FlashFd file(true);
  if (!file.Open()) return ERROR_NOT_READY;
  off_t offset = 0;
  if (!file.OffsetOf(address, bytes.size(), &offset)) return ERROR_INVALID_PARAMETER;
  if (bytes.empty()) return ERROR_SUCCESS;
  if (!file.Lock(offset, bytes.size(), F_WRLCK)) return ERROR_WRITE_FAULT;
  std::vector<uint8_t> cells(bytes.size());
  if (!ReadAll(file.fd(), cells.data(), cells.size(), offset)) return ERROR_READ_FAULT;
  for (size_t i = 0; i < cells.size(); ++i) cells[i] &= bytes[i];
  return WriteAll(file.fd(), cells.data(), cells.size(), offset) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

DWORD MapFlashOver(void* where, uint32_t address, size_t length) {
  const FlashFd file(false);
  off_t offset = 0;
  if (!file.Open()) return ERROR_NOT_READY;
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  if (length == 0 || !file.OffsetOf(address, length, &offset) || offset % static_cast<off_t>(page) != 0 ||
      reinterpret_cast<uintptr_t>(where) % page != 0) {
    return ERROR_INVALID_PARAMETER;
  }
  void* data = ::mmap(where, length, PROT_READ, MAP_SHARED | MAP_FIXED, file.fd(), offset);
  return data == MAP_FAILED ? ERROR_NOT_READY : ERROR_SUCCESS;
}

FlashView::~FlashView() { ::munmap(const_cast<uint8_t*>(data_), size_); }

std::unique_ptr<FlashView> FlashView::Map(uint32_t address, size_t length, DWORD* error) {
  const FlashFd file(false);
  off_t offset = 0;
  if (!file.Open()) {
    *error = ERROR_NOT_READY;
    return nullptr;
  }
  if (length == 0 || !file.OffsetOf(address, length, &offset) || offset % ::sysconf(_SC_PAGESIZE) != 0) {
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  void* data = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, file.fd(), offset);
  if (data == MAP_FAILED) {
    *error = ERROR_NOT_READY;
    return nullptr;
  }
  return std::unique_ptr<FlashView>(new FlashView(static_cast<const uint8_t*>(data), length));
}

}  // namespace corvash::ce
