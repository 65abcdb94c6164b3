#include "desktop/image/image_choice.h"

#include <sys/stat.h>

#include <optional>

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
std::optional<std::string> AskChooser(FileChooser& chooser, bool save, const FileDialogRequest& request) {
  std::optional<std::string> chosen = save ? chooser.Save(request) : chooser.Open(request);
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

}  // namespace

std::string ProposedBackupName(std::string_view deviceVersion) {
  std::string name = "QUORROM";
  for (size_t index : {0, 2, 3}) {
    if (index >= deviceVersion.size()) break;
    name.push_back(deviceVersion[index]);
  }
  return name;
}

ImageOutcome ChooseRestoreImage(FileChooser& chooser, session::ChosenImage& image) {
  common::ClearText(image.imagePath);
  FileDialogRequest request = ImageDialogRequest(ChooserOwner::kMainWindow);
  request.mustExist = true;
  const std::optional<std::string> chosen = AskChooser(chooser, false, request);
  if (!chosen) return ImageOutcome::kCancelled;
  common::CopyText(image.imagePath, *chosen);
  return ImageOutcome::kOk;
}

ImageOutcome ChooseBackupTarget(const session::HandheldIdentity& handheld, const BackupTargetTools& tools,
                                session::RunPaths& paths) {
  common::CopyText(paths.backupPath, ProposedBackupName(common::TextOf(handheld.deviceVersion)));
  FileDialogRequest request = ImageDialogRequest(ChooserOwner::kOptionPage);
  request.keepCurrentDir = true;

  // The chooser, then the question before an existing file is replaced.
  for (;;) {
    request.initialName = std::string(common::TextOf(paths.backupPath));
    const std::optional<std::string> chosen = AskChooser(tools.chooser, true, request);
    if (!chosen) return ImageOutcome::kCancelled;
    common::CopyText(paths.backupPath, *chosen);
    if (!FileExists(*chosen) || tools.replace.MayReplace()) break;
  }

  const std::string target(common::TextOf(paths.backupPath));
  if (!EnoughForBackup(tools.space.AvailableBytes(target))) {
    platform::TraceF("\r\n ChooseBackupTarget: not enough free space for %s\r\n", target.c_str());
    return ImageOutcome::kNoSpace;
  }
  return ImageOutcome::kOk;
}

}  // namespace corvash::image
