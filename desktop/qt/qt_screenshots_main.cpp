// corvash_screenshots OUTPUT_FOLDER: renders every page and screen of the
// resources into OUTPUT_FOLDER/<template>.png, offscreen, for review. Each
// page is filled by its own procedure from a sample session (a device and an
// image that differ in their language, so that the mismatch rows show); the
// services that pages use are the harmless defaults, so nothing reaches a
// device, a port or the registry; only the backup pull waits, so that its
// page is still open when it is drawn.
#include <QApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "desktop/session/update_session.h"
#include "desktop/pages/page_services.h"
#include "desktop/qt/qt_page.h"
#include "desktop/qt/qt_page_host.h"
#include "desktop/qt/qt_page_render.h"
#include "common/fixed_text.h"
#include "desktop/resources/resource_script.h"
#include "desktop/resources/text_table.h"

namespace {

using corvash::common::CopyText;

void FillSampleSession(corvash::session::UpdateSession& session) {
  CopyText(session.handheld.deviceModel, "K5210");
  CopyText(session.handheld.deviceVariant, "WBT");
  CopyText(session.handheld.deviceLangCode, "ger");
  CopyText(session.handheld.deviceLanguage, "German");
  CopyText(session.handheld.deviceVersion, "2.04");
  CopyText(session.image.imageModel, "K5210");
  CopyText(session.image.imageVariant, "WBT");
  CopyText(session.image.imageLangCode, "ENG");
  CopyText(session.image.imageLanguage, "English");
  CopyText(session.image.imageVersion, "2.10");
  session.image.imageSizeKB = 40960;
  session.handheld.flashSizeMB = 32;
  session.serialLink.store(0);
  session.flow.languageMismatch.store(1);
}

// The default backup pull gives up at once and its page ends before it can
// be drawn; this one waits until the tool lets go.
class WaitingBackupWorker final : public corvash::pages::BackupWorker {
 public:
  corvash::pages::BackupEnding RunBackupWorker(corvash::session::WorkerPage&) override {
    released_.wait(false);
    return {};
  }
  void Release() {
    released_.store(true);
    released_.notify_all();
  }

 private:
  std::atomic<bool> released_{false};
};

int Render(const std::filesystem::path& folder) {
  // Never destroyed: the pull's thread is not waited for, and it reads the sample run.
  static WaitingBackupWorker* const backup = new WaitingBackupWorker;
  static corvash::session::UpdateSession* const sample = new corvash::session::UpdateSession;
  corvash::qt::QtPageHost host({.services = {.backupWorker = *backup}, .run = sample});
  int written = 0;
  for (const int id : host.Script().DialogIds()) {
    FillSampleSession(*sample);  // a screen that ended may have cleared flags
    const std::shared_ptr<corvash::qt::QtPage> page = host.OpenPage(id, nullptr);
    if (!page) continue;
    QCoreApplication::processEvents();
    const QImage image = corvash::qt::RenderPage(*page);
    const std::filesystem::path file = folder / (std::to_string(id) + ".png");
    if (!image.isNull() && image.save(QString::fromStdString(file.string()), "PNG")) {
      ++written;
    } else {
      std::fprintf(stderr, "corvash_screenshots: cannot render page %d into %s\n", id, file.c_str());
    }
    page->End(0);
    backup->Release();
    QCoreApplication::processEvents();
  }
  host.Shutdown();
  std::printf("%d pages rendered into %s\n", written, folder.c_str());
  return written > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvash_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "corvash_screenshots: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  corvash::resources::LoadTextTable();
  return Render(folder);
}
