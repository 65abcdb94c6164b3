#include "common/file_store_paths.h"

#include <algorithm>

#include "common/utf16_text.h"

namespace corvash::common {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ValidName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return false;
    }
  }
  return true;
}

// The entry of `folder` named `name` without regard to case: the exact
// spelling when it exists, else the first match in name order, else `name`.
std::string FindEntry(const std::filesystem::path& folder, const std::string& name) {
  std::error_code code;
  if (std::filesystem::symlink_status(folder / name, code).type() != std::filesystem::file_type::not_found &&
      !code) {
    return name;
  }
  std::vector<std::string> matches;
  for (std::filesystem::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
    const std::string entry = it->path().filename().string();
    if (SameNameNoCase(entry, name)) matches.push_back(entry);
  }
  if (matches.empty()) return name;
  return *std::min_element(matches.begin(), matches.end());
}

// The length of UTF-8 `text` in UTF-16 units, as the handheld counts a
// path: one unit a character, two for one beyond the basic plane (a
// four-byte sequence). Continuation bytes add nothing.
size_t Utf16Units(std::string_view text) {
  size_t units = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;
    units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace

bool SameNameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::optional<std::vector<std::string>> SplitDevicePath(std::string_view devicePath) {
  if (Utf16Units(devicePath) > kMaxDevicePath) return std::nullopt;
  if (!devicePath.empty() && (devicePath.front() == '\\' || devicePath.front() == '/')) {
    devicePath.remove_prefix(1);
  }
  std::vector<std::string> parts;
  if (devicePath.empty()) return parts;
  size_t start = 0;
  for (;;) {
    const size_t end = devicePath.find_first_of("\\/", start);
    const std::string_view name = devicePath.substr(start, end == std::string_view::npos ? end : end - start);
    if (!ValidName(name)) return std::nullopt;
    parts.emplace_back(name);
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& storeRoot,
                                                       std::string_view devicePath) {
  const auto parts = SplitDevicePath(devicePath);
  if (!parts) return std::nullopt;
  std::filesystem::path host = storeRoot;
  for (const auto& part : *parts) {
    host /= FindEntry(host, part);
    std::error_code code;
    if (std::filesystem::symlink_status(host, code).type() == std::filesystem::file_type::symlink) {
      return std::nullopt;
    }
  }
  return host;
}

std::optional<std::filesystem::path> ResolveDevicePath(const std::filesystem::path& storeRoot,
                                                       std::u16string_view devicePath) {
  const size_t zero = devicePath.find(u'\0');
  if (zero != std::u16string_view::npos) devicePath = devicePath.substr(0, zero);
  if (devicePath.size() > kMaxDevicePath) return std::nullopt;
  // An unpaired surrogate would become U+FFFD and name another file: refuse it.
  for (size_t i = 0; i < devicePath.size(); ++i) {
    const char16_t unit = devicePath[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < devicePath.size() && devicePath[i + 1] >= 0xDC00 &&
        devicePath[i + 1] <= 0xDFFF) {
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return ResolveDevicePath(storeRoot, std::string_view(FromUtf16(devicePath)));
}

std::string DevicePathOf(const std::filesystem::path& storeRoot, const std::filesystem::path& hostPath) {
  const auto relative = hostPath.lexically_normal().lexically_relative(storeRoot.lexically_normal());
  if (relative.empty() || *relative.begin() == "..") return std::string();
  std::string device;
  for (const auto& part : relative) {
    if (part == ".") continue;
    device += "\\" + part.string();
  }
  return device;
}

}  // namespace corvash::common
