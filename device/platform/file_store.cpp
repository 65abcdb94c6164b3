#include "device/platform/file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "common/handheld_folder.h"
#include "common/utf16_text.h"

namespace corvash::ce {
namespace {

bool Forbidden(char16_t unit) {
  return unit < 0x20 || std::u16string_view(u"<>:\"|?*/").find(unit) != std::u16string_view::npos;
}

// The path's components; nullopt when one of them is refused.
std::optional<std::vector<std::u16string_view>> Components(std::u16string_view path) {
  std::vector<std::u16string_view> parts;
  while (!path.empty()) {
    const size_t cut = path.find(u'\\');
    const std::u16string_view part = path.substr(0, cut);
    path = cut == std::u16string_view::npos ? std::u16string_view() : path.substr(cut + 1);
    if (part.empty()) continue;
    if (part == u"." || part == u"..") return std::nullopt;
    for (char16_t unit : part) {
      if (Forbidden(unit)) return std::nullopt;
    }
    parts.push_back(part);
  }
  if (parts.empty()) return std::nullopt;
  return parts;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// The entry of `folder` named `name` without regard to case; the exact
// spelling wins over another.
std::optional<std::string> FindEntry(int folder, const std::string& name) {
  const int copy = ::dup(folder);
  if (copy < 0) return std::nullopt;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return std::nullopt;
  }
  std::optional<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName = entry->d_name;
    if (entryName == name) {
      found = name;
      break;
    }
    if (!found && SameNoCase(entryName, name)) found = std::string(entryName);
  }
  ::closedir(dir);
  return found;
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

DWORD ResolveStorePath(std::u16string_view devicePath, StorePath* out) {
  const auto folder = handheld::Folder::FromEnvironment();
  if (!folder) return ERROR_NOT_READY;
  const auto parts = Components(devicePath);
  if (!parts) return ERROR_INVALID_NAME;
  UniqueFd current(::open(folder->FileStoreDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!current.valid()) return ERROR_PATH_NOT_FOUND;
  for (size_t i = 0; i + 1 < parts->size(); ++i) {
    const auto name = FindEntry(current.get(), text::FromUtf16((*parts)[i]));
    if (!name) return ERROR_PATH_NOT_FOUND;
    UniqueFd next(::openat(current.get(), name->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid()) return ERROR_PATH_NOT_FOUND;
    current = std::move(next);
  }
  const std::string last = text::FromUtf16(parts->back());
  const auto existing = FindEntry(current.get(), last);
  out->folder = std::move(current);
  out->name = existing.value_or(last);
  out->exists = existing.has_value();
  return ERROR_SUCCESS;
}

}  // namespace corvash::ce
