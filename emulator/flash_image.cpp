#include "emulator/flash_image.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace corvash::emulator {
namespace {

std::string Failure(const char* what, const std::filesystem::path& path, int error) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

bool WriteErased(int fd, size_t size) {
  std::vector<uint8_t> block(1 << 20, kErasedByte);
  size_t done = 0;
  while (done < size) {
    const size_t chunk = std::min(block.size(), size - done);
    const ssize_t written = ::write(fd, block.data(), chunk);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

FlashImage::FlashImage(uint32_t base, uint8_t* data, size_t size, bool mapped)
    : base_(base), data_(data), size_(size), mapped_(mapped) {}

FlashImage::~FlashImage() {
  if (mapped_) {
    ::munmap(data_, size_);
  } else {
    delete[] data_;
  }
}

std::unique_ptr<FlashImage> FlashImage::InMemory(uint32_t base, size_t size) {
  auto* data = new uint8_t[size];
  std::memset(data, kErasedByte, size);
  return std::unique_ptr<FlashImage>(new FlashImage(base, data, size, false));
}

std::unique_ptr<FlashImage> FlashImage::CreateFile(const std::filesystem::path& path, uint32_t base,
                                                   size_t size, std::string* error) {
  // Written beside the old file and renamed over it, so that a failure never
  // leaves half a flash behind.
  const std::filesystem::path temporary = path.string() + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Failure("cannot create", temporary, errno);
    return nullptr;
  }
  const bool written = WriteErased(fd, size);
  const int write_error = errno;
  ::close(fd);
  if (!written) {
    ::unlink(temporary.c_str());
    *error = Failure("cannot write", temporary, write_error);
    return nullptr;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Failure("cannot rename to", path, errno);
    ::unlink(temporary.c_str());
    return nullptr;
  }
  return OpenFile(path, base, error);
}

std::unique_ptr<FlashImage> FlashImage::OpenFile(const std::filesystem::path& path, uint32_t base,
                                                 std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *error = Failure("cannot open", path, errno);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size <= 0 ||
      static_cast<uint64_t>(info.st_size) > 0x100000000ull - base) {
    ::close(fd);
    *error = "unusable flash file " + path.string();
    return nullptr;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  const int map_error = errno;
  ::close(fd);
  if (data == MAP_FAILED) {
    *error = Failure("cannot map", path, map_error);
    return nullptr;
  }
  return std::unique_ptr<FlashImage>(new FlashImage(base, static_cast<uint8_t*>(data), size, true));
}

bool FlashImage::Clip(uint32_t address, size_t length, size_t* offset, size_t* skip,
                      size_t* count) const {
  const uint64_t first = address;
  const uint64_t last = first + length;  // one past
  const uint64_t image_first = base_;
  const uint64_t image_last = image_first + size_;
  const uint64_t from = std::max(first, image_first);
  const uint64_t to = std::min(last, image_last);
  if (from >= to) return false;
  *offset = static_cast<size_t>(from - image_first);
  *skip = static_cast<size_t>(from - first);
  *count = static_cast<size_t>(to - from);
  return true;
}

void FlashImage::Read(uint32_t address, std::span<uint8_t> out) const {
  std::memset(out.data(), kErasedByte, out.size());
  size_t offset = 0, skip = 0, count = 0;
  if (!Clip(address, out.size(), &offset, &skip, &count)) return;
  std::lock_guard lock(mutex_);
  std::memcpy(out.data() + skip, data_ + offset, count);
}

size_t FlashImage::Store(uint32_t address, std::span<const uint8_t> bytes) {
  size_t offset = 0, skip = 0, count = 0;
  if (!Clip(address, bytes.size(), &offset, &skip, &count)) return 0;
  std::lock_guard lock(mutex_);
  std::memcpy(data_ + offset, bytes.data() + skip, count);
  return count;
}

size_t FlashImage::Program(uint32_t address, std::span<const uint8_t> bytes) {
  size_t offset = 0, skip = 0, count = 0;
  if (!Clip(address, bytes.size(), &offset, &skip, &count)) return 0;
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < count; ++i) data_[offset + i] &= bytes[skip + i];
  return count;
}

void FlashImage::Erase(uint32_t address, size_t length) {
  size_t offset = 0, skip = 0, count = 0;
  if (!Clip(address, length, &offset, &skip, &count)) return;
  std::lock_guard lock(mutex_);
  std::memset(data_ + offset, kErasedByte, count);
}

void FlashImage::Flush() {
  if (!mapped_) return;
  std::lock_guard lock(mutex_);
  ::msync(data_, size_, MS_SYNC);
}

}  // namespace corvash::emulator
