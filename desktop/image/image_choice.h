#pragma once
#include "desktop/session/page_ids.h"
// The user's choice of a restore image and of a backup target.
//
// ChooseRestoreImage(chooser, image) -> kOk when the user chose a file, now
//   in imagePath; kCancelled when the chooser was cancelled. imagePath is
//   cleared first. The open chooser is owned by the main window, shows the
//   image filters, the initial folder and default extension "nbf", and takes
//   only an existing file. A chosen path that does not fit imagePath (260
//   bytes with terminator) counts as cancelled: a cut path would name another
//   file. Called by the wizard driver.
//
// ChooseBackupTarget(handheld, tools, paths) -> kOk when a target was
//   accepted into backupPath (the option page then ends with 1000);
//   kCancelled when the user cancelled the save chooser; kNoSpace when the
//   target's file system has less than 0x3000000 bytes free (or its free
//   space cannot be told): the caller then shows FEHLER 107 (dialog 145)
//   between hiding and showing the option page, and the option page stays.
//   backupPath first holds the proposal "QUORROM" + characters 0, 2 and 3 of
//   deviceVersion. While the chosen file exists, tools.replace is asked
//   (WARNUNG 112, dialog 152, with the option page hidden): false reopens the
//   chooser, true keeps the name (the file is replaced later). Called from
//   the option page's "Sichern" button.
//
// ProposedBackupName(version) is pure. No screen of their own.
#include <cstdint>
#include <string>
#include <string_view>

#include "desktop/image/disk_space.h"
#include "desktop/image/file_chooser.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/update_session.h"

namespace corvash::image {

inline constexpr int kFileExistsWarningDialog = session::kScreenFileExists;  // WARNUNG 112
inline constexpr int kBackupImpossibleDialog = session::kScreenBackupImpossible;   // FEHLER 107
inline constexpr int kWarningCancel = session::kButtonCancel;  // "Abbrechen" on WARNUNG 112

// Asked while the chosen backup file exists: true keeps the name (the file
// is replaced later), false lets the user choose again.
class ReplaceQuestion {
 public:
  virtual ~ReplaceQuestion() = default;
  virtual bool MayReplace() = 0;
};

// What the backup target's choice works with.
struct BackupTargetTools {
  FileChooser& chooser;
  DiskSpace& space;
  ReplaceQuestion& replace;
};

// "QUORROM" followed by characters 0, 2 and 3 of `deviceVersion` ("2.04" ->
// "QUORROM204"); a shorter version gives those of its characters that exist.
std::string ProposedBackupName(std::string_view deviceVersion);

ImageOutcome ChooseRestoreImage(FileChooser& chooser, session::ChosenImage& image);
ImageOutcome ChooseBackupTarget(const session::HandheldIdentity& handheld, const BackupTargetTools& tools,
                                session::RunPaths& paths);

}  // namespace corvash::image
