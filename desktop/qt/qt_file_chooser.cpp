#include "desktop/qt/qt_file_chooser.h"

#include <QFileDialog>
#include <QStringList>

#include "desktop/automation/autopilot.h"
#include "desktop/qt/qt_page_host.h"

namespace corvash::qt {
namespace {

QString NameFilter(const image::FileFilter& filter) {
  const QString label = QString::fromStdString(filter.label);
  // Qt reads the patterns from the parentheses of the label.
  if (label.contains(QLatin1Char('('))) return label;
  return label + QStringLiteral(" (") + QString::fromStdString(filter.pattern) + QStringLiteral(")");
}

}  // namespace

std::optional<std::string> QtFileChooser::Open(const image::FileDialogRequest& request) { return Run(request, false); }
std::optional<std::string> QtFileChooser::Save(const image::FileDialogRequest& request) { return Run(request, true); }

std::optional<std::string> QtFileChooser::Run(const image::FileDialogRequest& request, bool save) {
  std::optional<std::string> chosen;
  host_.RunOnGui([&] {
    QFileDialog dialog(nullptr, QString(), QString::fromStdString(request.initialFolder));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList filters;
    for (const image::FileFilter& filter : request.filters) filters << NameFilter(filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (save) {
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
    } else {
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.initialName.empty()) dialog.selectFile(QString::fromStdString(request.initialName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    chosen = dialog.selectedFiles().constFirst().toStdString();
  });
  return chosen;
}

std::optional<std::string> AutopilotFileChooser::Open(const image::FileDialogRequest&) {
  return autopilot_.AnswerFileDialog(automation::FileDialogKind::kOpen);
}

std::optional<std::string> AutopilotFileChooser::Save(const image::FileDialogRequest& request) {
  std::optional<std::string> chosen = autopilot_.AnswerFileDialog(automation::FileDialogKind::kSave);
  // As the save dialog does: a name typed without an extension gets the default one.
  if (chosen && !request.defaultExtension.empty()) {
    const size_t slash = chosen->find_last_of('/');
    const std::string_view name = std::string_view(*chosen).substr(slash == std::string::npos ? 0 : slash + 1);
    if (!name.empty() && name.find('.') == std::string_view::npos) *chosen += "." + request.defaultExtension;
  }
  return chosen;
}

}  // namespace corvash::qt
