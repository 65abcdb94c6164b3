#include "common/image_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

namespace corvash::common {

ImageFile::ImageFile(ImageFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_) {}

ImageFile& ImageFile::operator=(ImageFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    error_ = other.error_;
  }
  return *this;
}

ImageFile::~ImageFile() { Close(); }

bool ImageFile::Open(const std::string& path) {
  Close();
  // Without waiting: a pipe named like an image must not block the open.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  // Only a regular file is an image: a folder, a pipe or a device (which
  // might never end) is refused.
  struct stat st {};
  int refusal = 0;
  if (::fstat(fd_, &st) != 0) refusal = errno;
  else if (S_ISDIR(st.st_mode)) refusal = EISDIR;
  else if (!S_ISREG(st.st_mode)) refusal = EINVAL;
  if (refusal != 0) {
    error_ = refusal;
    Close();
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  error_ = 0;
  return true;
}

long ImageFile::Read(uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, buffer + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<long>(done);
}

bool ImageFile::Size(uint64_t& size) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    error_ = errno;
    return false;
  }
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool ImageFile::Seek(uint64_t offset) {
  if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    error_ = EOVERFLOW;
    return false;
  }
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    error_ = errno;
    return false;
  }
  return true;
}

void ImageFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace corvash::common
