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

#include "desktop/session/update_session.h"
#include "desktop/session/worker_page.h"
#include "rapi/remote_api.h"

namespace corvash::handheld {

inline constexpr uint32_t kChunkSize = 0x40000;
inline constexpr uint32_t kBackupPayload = 0x1F00000;  // 124 chunks

// Copies the agent `pcPath` to `devicePath` on the handheld (create-new,
// hidden; a file in the way is replaced), in pieces of 4096 bytes. 1 when
// copied, else 0.
uint32_t CopyAgentToDevice(rapi::RemoteApi& api, std::string_view pcPath, std::string_view devicePath);

// What a backup pulls from where to where: the folder that holds
// backup.exe, the backup file to make, and the identity its header names.
struct BackupJob {
  std::string programDir;
  std::string backupPath;
  session::HandheldIdentity handheld;
};

// How a pull ended. `complete`: the backup file is made. Otherwise `screen`
// names the screen the caller shows (0: none); with `endsRun` the caller
// hides the page, shows the screen and closes the run, else it ends the page
// with 2 and then shows the screen.
struct BackupOutcome {
  bool complete = false;
  int screen = 0;
  bool endsRun = false;
};

// The work behind the backup progress page (132): drives the bar and figure
// of `page` and leaves the page open. Failures: the agent cannot be started
// (FEHLER 106 ending the run, the remote API shut down first); the target
// cannot be written, being a folder or a read-only file, or no file can be
// made beside it (FEHLER 104, before any chunk is pulled); a chunk does not come within 501 looks
// 100 ms apart, comes short, or cannot be deleted while more are due
// (FEHLER 109 ending the run); writing the backup fails (FEHLER 109).
BackupOutcome BackupWorker(rapi::RemoteApi& api, const BackupJob& job, session::WorkerPage& page);

}  // namespace corvash::handheld
