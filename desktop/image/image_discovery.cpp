#include "desktop/image/image_discovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <limits>

#include "common/fixed_text.h"
#include "common/image_file.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

using common::ImageFile;

namespace {

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// What the listing's entry is, following a symbolic link.
enum class EntryKind { kFolder, kFile, kOther };

EntryKind KindOf(const std::string& path) {
  struct stat st {};
  // A dangling link is taken as a file: opening it reports the fault.
  if (::stat(path.c_str(), &st) != 0) return EntryKind::kFile;
  if (S_ISDIR(st.st_mode)) return EntryKind::kFolder;
  if (S_ISREG(st.st_mode)) return EntryKind::kFile;
  return EntryKind::kOther;
}

class FolderListing {
 public:
  explicit FolderListing(const std::string& folder) : dir_(::opendir(folder.c_str())) {}
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  ~FolderListing() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  bool IsOpen() const { return dir_ != nullptr; }
  // The next entry's name; nullopt at the end.
  std::optional<std::string> Next() {
    const dirent* entry = ::readdir(dir_);
    if (entry == nullptr) return std::nullopt;
    return std::string(entry->d_name);
  }

 private:
  DIR* dir_;
};

// A size for the 32-bit fields: one past their reach stays the largest they
// hold, so that a huge image never passes for a small one.
uint32_t SizeField(uint64_t bytes) {
  return bytes > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                      : static_cast<uint32_t>(bytes);
}

}  // namespace

bool HasImageName(std::string_view name) {
  return name.size() >= 3 && common::EqualsNoCase(name.substr(name.size() - 3), "nbf");
}

std::optional<FoundImage> FindFirstImage(std::string_view folder) {
  FolderListing listing{std::string(folder)};
  if (!listing.IsOpen()) return std::nullopt;
  while (std::optional<std::string> name = listing.Next()) {
    if (!HasImageName(*name)) continue;
    std::string path = JoinPath(folder, *name);
    if (path.size() >= session::kPathCapacity) continue;
    if (KindOf(path) != EntryKind::kFile) continue;
    FoundImage found;
    found.path = std::move(path);
    struct stat st {};
    if (::stat(found.path.c_str(), &st) == 0) found.size = static_cast<uint64_t>(st.st_size);
    return found;
  }
  return std::nullopt;
}

ImageOutcome FindImageInProgramDir(const session::RunPaths& paths, session::ChosenImage& image) {
  const std::optional<FoundImage> found = FindFirstImage(common::TextOf(paths.programDir));
  if (!found) {
    platform::Trace("\r\n FindImageInProgramDir: no image beside the program\r\n");
    return ImageOutcome::kNoImage;
  }
  common::CopyText(image.imagePath, found->path);
  common::CopyText(image.foundImagePath, found->path);
  return ImageOutcome::kOk;
}

uint32_t FirstImageSize(const session::RunPaths& paths) {
  const std::optional<FoundImage> found = FindFirstImage(common::TextOf(paths.programDir));
  return found ? SizeField(found->size) : 0;
}

std::optional<uint32_t> ImageFileSize(std::string_view path) {
  ImageFile file;
  uint64_t size = 0;
  if (!file.Open(std::string(path)) || !file.Size(size)) {
    platform::TraceF("\r\n ImageFileSize: cannot size %.*s (errno %d)\r\n", static_cast<int>(path.size()),
                     path.data(), file.error());
    return std::nullopt;
  }
  return SizeField(size);
}

}  // namespace corvash::image
