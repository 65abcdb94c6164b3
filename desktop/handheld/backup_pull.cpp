#include "desktop/handheld/backup_pull.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "common/clock.h"
#include "common/fixed_text.h"
#include "common/image_file.h"
#include "common/rom_image_format.h"
#include "common/utf16_text.h"
#include "desktop/handheld/backup_file.h"
#include "desktop/platform/trace.h"
#include "desktop/session/page_ids.h"

namespace corvash::handheld {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kAgentName = "backup.exe";
constexpr std::string_view kDeviceTemp = "\\Temp\\";
constexpr std::string_view kChunkName = "image.nb";
constexpr uint32_t kAgentStartWaitMs = 5000;
constexpr uint32_t kChunkLookMs = 100;
constexpr int kChunkLooks = 501;
constexpr size_t kAgentPiece = 4096;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;

std::u16string DevicePath(std::string_view name) { return common::ToUtf16(std::string(kDeviceTemp) + std::string(name)); }

BackupOutcome Fail(int screen, bool closeRun) { return BackupOutcome{.complete = false, .screen = screen, .endsRun = closeRun}; }

// Looks for the chunk every 100 ms, 501 times; the open handle or nullopt.
std::optional<rapi::CeHandle> AwaitChunk(rapi::RemoteApi& api) {
  for (int look = 0; look < kChunkLooks; ++look) {
    common::SleepMs(kChunkLookMs);
    const rapi::CeHandle chunk = api.CeCreateFile(DevicePath(kChunkName), rapi::GENERIC_READ, rapi::FILE_SHARE_READ,
                                                  rapi::OPEN_EXISTING, rapi::FILE_ATTRIBUTE_NORMAL);
    if (chunk != rapi::kInvalidHandle) return chunk;
  }
  return std::nullopt;
}

// Reads the whole open chunk into `buffer`; the bytes read.
uint32_t ReadChunk(rapi::RemoteApi& api, rapi::CeHandle chunk, std::vector<uint8_t>& buffer) {
  uint32_t total = 0;
  while (total < buffer.size()) {
    uint32_t done = 0;
    const auto rest = std::span<uint8_t>(buffer).subspan(total);
    if (api.CeReadFile(chunk, rest, done) == 0 || done == 0) break;
    total += done;
  }
  return total;
}

void CopyAgent(rapi::RemoteApi& api, const std::string& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory(error) || !common::EqualsNoCase(name, kAgentName)) continue;
    CopyAgentToDevice(api, entry.path().string(), std::string(kDeviceTemp) + name);
  }
}

// The header of the backup: the device's fields and the checksum; nullopt
// when a field does not fill its slot.
std::optional<std::array<char, common::kHeaderSize>> Header(const session::HandheldIdentity& handheld,
                                                          uint32_t payloadSum) {
  const std::string fields = std::string(common::TextOf(handheld.deviceModel)) + "-" +
                             std::string(common::TextOf(handheld.deviceVariant)) + "-" +
                             std::string(common::TextOf(handheld.deviceLangCode)) + "-" +
                             std::string(common::TextOf(handheld.deviceVersion));
  const uint32_t sum = common::AddToSum(payloadSum, std::span(reinterpret_cast<const uint8_t*>(fields.data()), fields.size()));
  return common::FormatImageHeader(common::TextOf(handheld.deviceModel), common::TextOf(handheld.deviceVariant),
                                   common::TextOf(handheld.deviceLangCode), common::TextOf(handheld.deviceVersion),
                                   static_cast<uint16_t>(sum & 0xFFFF));
}

}  // namespace

uint32_t CopyAgentToDevice(rapi::RemoteApi& api, std::string_view pcPath, std::string_view devicePath) {
  common::ImageFile source;
  if (!source.Open(std::string(pcPath))) return 0;
  const std::u16string target = common::ToUtf16(devicePath);
  rapi::CeHandle file = api.CeCreateFile(target, rapi::GENERIC_READ | rapi::GENERIC_WRITE,
                                         rapi::FILE_SHARE_READ | rapi::FILE_SHARE_WRITE, rapi::CREATE_NEW,
                                         FILE_ATTRIBUTE_HIDDEN);
  if (file == rapi::kInvalidHandle) {
    // A file in the way: replace it.
    api.CeDeleteFile(target);
    file = api.CeCreateFile(target, rapi::GENERIC_WRITE, rapi::FILE_SHARE_READ, rapi::CREATE_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN);
    if (file == rapi::kInvalidHandle) return 0;
  }
  std::array<uint8_t, kAgentPiece> piece{};
  uint32_t copied = 1;
  for (;;) {
    const long got = source.Read(piece.data(), piece.size());
    if (got < 0) {
      copied = 0;
      break;
    }
    if (got == 0) break;
    uint32_t written = 0;
    if (api.CeWriteFile(file, std::span(piece.data(), static_cast<size_t>(got)), written) == 0 ||
        written != static_cast<uint32_t>(got)) {
      copied = 0;
      break;
    }
  }
  api.CeCloseHandle(file);
  return copied;
}

BackupOutcome BackupWorker(rapi::RemoteApi& api, const BackupJob& job, session::WorkerPage& page) {
  page.SetBarRange(0, kBackupPayload);
  page.SetBarPosition(0);
  page.SetFigure(0);
  std::vector<uint8_t> buffer(kChunkSize);
  api.CeDeleteFile(DevicePath(kAgentName));
  api.CeDeleteFile(DevicePath(kChunkName));
  CopyAgent(api, job.programDir);
  if (api.CeCreateProcess(DevicePath(kAgentName)) == 0) {
    api.CeRapiUninit();
    return Fail(session::kScreenAgentNotStarted, true);
  }
  common::SleepMs(kAgentStartWaitMs);

  BackupFile backup;
  if (!backup.Create(job.backupPath)) {
    platform::TraceF("\r\n BackupWorker: cannot create the backup file (errno %d)\r\n", errno);
    return Fail(session::kScreenImageNotOpened, false);
  }
  uint32_t sum = 0;
  for (uint32_t pulled = 0; pulled < kBackupPayload; pulled += kChunkSize) {
    const std::optional<rapi::CeHandle> chunk = AwaitChunk(api);
    if (!chunk) {
      return Fail(session::kScreenBackupFailed, true);
    }
    const uint32_t got = ReadChunk(api, *chunk, buffer);
    api.CeCloseHandle(*chunk);
    if (got != kChunkSize) {
      // A short chunk would give a file whose content and checksum disagree.
      platform::TraceF("\r\n BackupWorker: chunk at 0x%x holds 0x%x bytes\r\n", pulled, got);
      return Fail(session::kScreenBackupFailed, true);
    }
    sum = common::AddToSum(sum, buffer);
    if (!backup.WriteAt(common::kHeaderSize + uint64_t{pulled}, buffer)) {
      return Fail(session::kScreenBackupFailed, false);
    }
    // The deletion asks the agent for the next chunk. A chunk that stays
    // would be taken again as the next one, and the backup would hold it
    // twice under a checksum that agrees.
    if (api.CeDeleteFile(DevicePath(kChunkName)) == 0 && pulled + kChunkSize < kBackupPayload) {
      platform::TraceF("\r\n BackupWorker: chunk at 0x%x cannot be deleted (error %u)\r\n", pulled,
                       api.CeGetLastError());
      return Fail(session::kScreenBackupFailed, true);
    }
    page.SetBarPosition(pulled + kChunkSize);
    page.SetFigure(static_cast<uint32_t>((uint64_t{pulled} + kChunkSize) * 100 / kBackupPayload));
  }
  const auto header = Header(job.handheld, sum);
  if (!header || !backup.WriteAt(0, std::span(reinterpret_cast<const uint8_t*>(header->data()), header->size())) ||
      !backup.Complete()) {
    return Fail(session::kScreenBackupFailed, false);
  }
  api.CeDeleteFile(DevicePath(kAgentName));
  api.CeDeleteFile(DevicePath(kChunkName));
  return BackupOutcome{.complete = true};
}

}  // namespace corvash::handheld
