#pragma once
#include "desktop/session/page_ids.h"
// The user's choice of a restore image and of a backup target.
//
// ChooseRestoreImage() -> 1 when the user chose a file, now in imagePath;
//   0 when the chooser was cancelled (or no chooser is installed). imagePath
//   is cleared first. The open chooser is owned by the main window, shows the
//   image filters, the initial folder and default extension "nbf", and takes
//   only an existing file. A chosen path that does not fit imagePath (260
//   bytes with terminator) counts as cancelled: a cut path would name another
//   file. No screen. Called by the wizard driver.
//
// ChooseBackupTarget(optionPage) -> 1 when a target was accepted into
//   backupPath (the option page then ends with 1000); 0 when the user
//   cancelled the save chooser or the target's file system has less than
//   0x3000000 bytes free (or its free space cannot be told): then FEHLER 107
//   (dialog 145) was shown between hiding and showing the option page, and
//   the option page stays. backupPath first holds the proposal
//   "QUORROM" + characters 0, 2 and 3 of deviceVersion. While the chosen file
//   exists, the option page is hidden and WARNUNG 112 (dialog 152) asks:
//   "Abbrechen" (2) shows the page again and reopens the chooser, anything
//   else keeps the name (the file is replaced later). Called from the option
//   page's "Sichern" button; `optionPage` may be null (nothing to hide).
//
// ProposedBackupName(version) is pure.
#include <cstdint>
#include <string>
#include <string_view>

namespace corvash::image {

inline constexpr int kFileExistsWarningDialog = pages::kScreenFileExists;  // WARNUNG 112
inline constexpr int kBackupImpossibleDialog = pages::kScreenBackupImpossible;   // FEHLER 107
inline constexpr int kWarningCancel = pages::kButtonCancel;  // "Abbrechen" on WARNUNG 112

// The page that owns the save chooser, hidden around the screens it opens.
class PageWindow {
 public:
  virtual ~PageWindow() = default;
  virtual void Hide() = 0;
  virtual void Show() = 0;
};

// "QUORROM" followed by characters 0, 2 and 3 of `deviceVersion` ("2.04" ->
// "QUORROM204"); a shorter version gives those of its characters that exist.
std::string ProposedBackupName(std::string_view deviceVersion);

uint32_t ChooseRestoreImage();
uint32_t ChooseBackupTarget(PageWindow* optionPage);

}  // namespace corvash::image
