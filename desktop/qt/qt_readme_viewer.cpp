#include "desktop/qt/qt_readme_viewer.h"

#include <QProcess>
#include <QStringList>
#include <string>

#include "common/fixed_text.h"
#include "desktop/platform/trace.h"

namespace corvash::qt {

void DesktopReadmeViewer::OpenReadme() {
  std::string folder(common::TextOf(paths_.programDir));
  if (folder.empty()) folder = ".";
  const QString path = QString::fromStdString(folder + "/readme.doc");
  if (!QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{path})) {
    platform::Trace("\r\n Pages: the readme viewer did not start\r\n");
  }
}

}  // namespace corvash::qt
