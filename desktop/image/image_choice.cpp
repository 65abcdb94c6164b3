#include "desktop/image/image_choice.h"

#include <sys/stat.h>

#include <optional>

#include "desktop/session/update_session.h"
#include "desktop/image/disk_space.h"
#include "desktop/image/file_chooser.h"
#include "desktop/session/page_host.h"
#include "common/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::image {

namespace {

FileDialogRequest ImageDialogRequest(ChooserOwner owner) {
  FileDialogRequest request;
  request.owner = owner;
  request.filters = ImageFileFilters();
  request.defaultExtension = std::string(kImageDefaultExtension);
  request.initialFolder = ChooserInitialFolder();
  request.capacity = session::kPathCapacity;
  return request;
}

// The chooser's answer, nullopt when cancelled or when the path cannot be
// held by a 260-byte field.
std::optional<std::string> AskChooser(bool save, const FileDialogRequest& request) {
  FileChooser* chooser = g_fileChooser.load();
  if (chooser == nullptr) return std::nullopt;
  std::optional<std::string> chosen = save ? chooser->Save(request) : chooser->Open(request);
  if (chosen && (chosen->empty() || chosen->size() >= request.capacity)) {
    platform::TraceF("\r\n file chooser: path of %zu bytes refused\r\n", chosen->size());
    return std::nullopt;
  }
  return chosen;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void HidePage(PageWindow* page) {
  if (page != nullptr) page->Hide();
}
void ShowPage(PageWindow* page) {
  if (page != nullptr) page->Show();
}

}  // namespace

std::string ProposedBackupName(std::string_view deviceVersion) {
  std::string name = "QUORROM";
  for (size_t index : {0, 2, 3}) {
    if (index >= deviceVersion.size()) break;
    name.push_back(deviceVersion[index]);
  }
  return name;
}

uint32_t ChooseRestoreImage() {
  session::UpdateSession& session = session::Session();
  platform::ClearText(session.image.imagePath);
  FileDialogRequest request = ImageDialogRequest(ChooserOwner::kMainWindow);
  request.mustExist = true;
  const std::optional<std::string> chosen = AskChooser(false, request);
  if (!chosen) return 0;
  platform::CopyText(session.image.imagePath, *chosen);
  return 1;
}

uint32_t ChooseBackupTarget(PageWindow* optionPage) {
  session::UpdateSession& session = session::Session();
  platform::CopyText(session.paths.backupPath, ProposedBackupName(platform::TextOf(session.handheld.deviceVersion)));
  FileDialogRequest request = ImageDialogRequest(ChooserOwner::kOptionPage);
  request.keepCurrentDir = true;

  // The chooser, then the question before an existing file is replaced.
  for (;;) {
    request.initialName = std::string(platform::TextOf(session.paths.backupPath));
    const std::optional<std::string> chosen = AskChooser(true, request);
    if (!chosen) return 0;
    platform::CopyText(session.paths.backupPath, *chosen);
    if (!FileExists(*chosen)) break;
    HidePage(optionPage);
    if (pages::RunPage(kFileExistsWarningDialog) != kWarningCancel) break;
    ShowPage(optionPage);
  }

  const std::string target(platform::TextOf(session.paths.backupPath));
  if (!EnoughForBackup(InstalledDiskSpace().AvailableBytes(target))) {
    platform::TraceF("\r\n ChooseBackupTarget: not enough free space for %s\r\n", target.c_str());
    HidePage(optionPage);
    pages::RunPage(kBackupImpossibleDialog);
    ShowPage(optionPage);
    return 0;
  }
  return 1;
}

}  // namespace corvash::image
