#pragma once
// Device paths in the handheld's file store (the state folder's files/).
// Device paths are absolute ("\Windows\Zembra.dll"; a missing leading "\"
// means the same), components separated by "\" and looked up without regard
// to letter case. Refused: ".", "..", "/", drive letters and the other
// characters the device's file system forbids, and symbolic links, so that
// no device path reaches outside the store. Any thread.
#include <string>
#include <string_view>

#include "device/platform/ce_types.h"

namespace corvash::ce {

// An open descriptor, closed when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Where a device path lands: its folder, open, and the name of its last
// component in that folder (the existing entry's own spelling when one
// matches without regard to case, else the path's spelling in UTF-8).
struct StorePath {
  UniqueFd folder;
  std::string name;
  bool exists = false;
};

// ERROR_SUCCESS, ERROR_INVALID_NAME for a refused path, ERROR_PATH_NOT_FOUND
// when a folder on the way is missing, ERROR_NOT_READY without a state folder.
DWORD ResolveStorePath(std::u16string_view devicePath, StorePath* out);

}  // namespace corvash::ce
