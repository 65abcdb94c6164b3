#include "desktop/image/disk_space.h"

#include <sys/statvfs.h>

#include <filesystem>

namespace corvash::image {

std::optional<uint64_t> StatvfsDiskSpace::AvailableBytes(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  struct statvfs st {};
  if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

}  // namespace corvash::image
