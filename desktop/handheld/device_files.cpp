#include "desktop/handheld/device_files.h"

#include <array>

#include "common/fixed_text.h"
#include "common/image_file.h"
#include "desktop/platform/trace.h"

namespace corvash::handheld {
namespace {

constexpr size_t kCopyPiece = 256;

// Writes the whole PC file into the open device file; false on a failed read
// or write. The last write is the zero-byte one after the end of the file.
bool CopyContents(rapi::RemoteApi& api, common::ImageFile& source, rapi::CeHandle target) {
  std::array<uint8_t, kCopyPiece> piece{};
  for (;;) {
    const long got = source.Read(piece.data(), piece.size());
    if (got < 0) return false;
    uint32_t written = 0;
    const auto bytes = std::span<const uint8_t>(piece.data(), static_cast<size_t>(got));
    if (api.CeWriteFile(target, bytes, written) == 0 || written != bytes.size()) return false;
    if (got == 0) return true;
  }
}

}  // namespace

std::string ProgramFilePath(std::string_view programDir, std::string_view name) {
  std::string path(programDir);
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

uint32_t CopyFileToDevice(rapi::RemoteApi& api, std::string_view pcPath, const std::u16string& devicePath) {
  common::ImageFile source;
  if (!source.Open(std::string(pcPath))) {
    platform::TraceF("\r\n CopyFileToDevice: cannot open %.*s (errno %d)\r\n", static_cast<int>(pcPath.size()),
                     pcPath.data(), source.error());
    return 0;
  }
  const rapi::CeHandle target =
      api.CeCreateFile(devicePath, rapi::GENERIC_WRITE, rapi::FILE_SHARE_READ, rapi::CREATE_ALWAYS, rapi::FILE_ATTRIBUTE_NORMAL);
  if (target == rapi::kInvalidHandle) return 0;
  const bool copied = CopyContents(api, source, target);
  api.CeCloseHandle(target);
  return copied ? 1 : 0;
}

}  // namespace corvash::handheld
