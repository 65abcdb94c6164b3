#include "desktop/app/driver/run_paths.h"

#include <filesystem>
#include <string>

#include "desktop/session/update_session.h"
#include "desktop/platform/prefix.h"
#include "desktop/platform/trace.h"

namespace corvash::driver {
namespace {

namespace fs = std::filesystem;

// Copies `path` whole into `field`, or empties the field when it does not fit.
template <size_t N>
void CopyWholePath(char (&field)[N], const std::string& path) {
  if (path.size() >= N) {
    platform::TraceF("\r\n Path too long for the run: %s\r\n", path.c_str());
    common::ClearText(field);
    return;
  }
  common::CopyText(field, path);
}

}  // namespace

void SetUpRunPaths(session::RunPaths& paths) {
  const fs::path windowsDir = platform::WindowsDir();
  CopyWholePath(paths.windowsDir, windowsDir.string());
  // The marker path is taken only from a whole windows folder name.
  if (common::TextOf(paths.windowsDir).empty()) {
    common::ClearText(paths.markerPath);
  } else {
    CopyWholePath(paths.markerPath, (windowsDir / "MERLIX.ZPF").string());
  }
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  CopyWholePath(paths.programDir, ec ? std::string() : current.string());
}

void RemoveMarker(const session::RunPaths& paths) {
  const std::string marker(common::TextOf(paths.markerPath));
  if (marker.empty()) return;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(marker, ec);
  if (ec || !fs::exists(status) || fs::is_directory(status)) return;
  if (!fs::is_symlink(status)) {
    fs::permissions(marker, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove(marker, ec);
}

}  // namespace corvash::driver
