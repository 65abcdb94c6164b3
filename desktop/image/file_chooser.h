#pragma once
// The open and save file choosers, behind an interface that the Qt pages, the
// autopilot and tests implement.
//
// The program makes one chooser where its front end starts and hands it to
// the operations that ask the user for a file. The chooser's Open/Save block
// until the user has answered and may be called from the wizard driver's
// thread; an implementation that draws must marshal to its GUI thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::image {

struct FileFilter {
  std::string label;    // "ROM image (*.nbf)"
  std::string pattern;  // "*.nbf"
};

// Who owns a chooser while it is open.
enum class ChooserOwner { kMainWindow, kOptionPage };

struct FileDialogRequest {
  ChooserOwner owner = ChooserOwner::kMainWindow;
  std::vector<FileFilter> filters;
  std::string defaultExtension;  // added by the chooser to a name typed without one
  std::string initialFolder;
  std::string initialName;       // the name proposed in the name field, may be empty
  size_t capacity = 260;         // a chosen path must fit this many bytes with its terminator
  bool mustExist = false;        // open: only an existing file may be chosen
  bool keepCurrentDir = false;   // save: the process's current folder stays as it is
  // The chooser itself never asks before replacing a file: the caller asks
  // with its own screen (WARNUNG 112).
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen path, nullopt when the user cancelled.
  virtual std::optional<std::string> Open(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> Save(const FileDialogRequest& request) = 0;
};

// The filter pair of both choosers and their default extension.
std::vector<FileFilter> ImageFileFilters();
inline constexpr std::string_view kImageDefaultExtension = "nbf";

// The initial folder of both choosers. Its Windows text is
// "%USERPROFILE%\Eigene Dateien" on an NT-family system (QueryWindowsFamily
// not 0) and "c:\Eigene Dateien" otherwise; that text is taken as it stands
// where a folder of that name exists (relative to the current folder), else
// the user's home folder ($HOME, else the password database, else ".").
std::string ChooserInitialFolder();
// The same choice for a given family (pure apart from the folder test).
std::string ChooserInitialFolderFor(uint32_t windowsFamily);

}  // namespace corvash::image
