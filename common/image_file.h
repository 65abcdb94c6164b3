#pragma once
// A file opened for shared reading, closed when the object goes. The error of
// a failed open or read is kept as the system reported it at that moment.
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvash::common {

class ImageFile {
 public:
  ImageFile() = default;
  ImageFile(const ImageFile&) = delete;
  ImageFile& operator=(const ImageFile&) = delete;
  ImageFile(ImageFile&& other) noexcept;
  ImageFile& operator=(ImageFile&& other) noexcept;
  ~ImageFile();

  // Opens `path` read-only; false with error() set when that fails or when
  // it is no regular file (EISDIR for a folder, EINVAL for a pipe or device).
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  // errno of the last failed call, 0 when none failed.
  int error() const { return error_; }

  // Reads up to `size` bytes; fewer only at the end of the file. -1 on a
  // read error (error() set).
  long Read(uint8_t* buffer, size_t size);
  // The file's size in bytes; false with error() set when it cannot be read.
  bool Size(uint64_t& size);
  // Moves the read position to `offset` bytes from the start (past the end
  // is allowed; reads there find nothing). False with error() set when the
  // file cannot seek or the offset is out of range (EOVERFLOW).
  bool Seek(uint64_t offset);
  void Close();

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace corvash::common
