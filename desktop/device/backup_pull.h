#pragma once
// The pull of the handheld's ROM into a backup file: the agent backup.exe is
// copied to the handheld's \Temp folder and started; it hands the flash over
// in 124 chunk files of 0x40000 bytes, one at a time, through \Temp\image.nb,
// which the desktop reads, appends and deletes (the deletion asks for the
// next). The backup is an image file: the 32-byte header, written last, then
// the 0x1F00000 bytes pulled.
//
// The pull writes an unnamed file in backupPath's folder and puts it in the
// target's place only when it is complete (BackupFile), so that a failed or
// killed backup leaves an earlier file of that name as it was and nothing
// half-written under its name or beside it.
#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/session/worker_page.h"

namespace corvash::device {

inline constexpr uint32_t kChunkSize = 0x40000;
inline constexpr uint32_t kBackupPayload = 0x1F00000;  // 124 chunks

// Copies the agent `pcPath` to `devicePath` on the handheld (create-new,
// hidden; a file in the way is replaced), in pieces of 4096 bytes. 1 when
// copied, else 0.
uint32_t CopyAgentToDevice(std::string_view pcPath, std::string_view devicePath);

// The thread body of the backup progress page (132): drives its bar and
// figure and ends it with 1 after success. Failures: the agent cannot be
// started (FEHLER 106, page hidden, the remote API shut down, main window
// closed); the target cannot be written, being a folder or a read-only
// file, or no file can be made beside it (FEHLER 104, then the page ended
// with 2), before any chunk is pulled;
// a chunk does not come within 501 looks 100 ms apart, comes short, or
// cannot be deleted while more are due (page hidden, FEHLER 109, main
// window closed); writing the backup fails
// (FEHLER 109, then the page ended with 2).
void BackupWorker(pages::WorkerPage& page);

}  // namespace corvash::device
