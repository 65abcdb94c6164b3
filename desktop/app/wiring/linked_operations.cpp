#include "desktop/app/wiring/linked_operations.h"

#include "desktop/app/driver/unlinked_operations.h"
#include "desktop/image/disk_space.h"
#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/app/wiring/flash_workers.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/port_test.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/bootlink/version_box.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/backup_pull.h"
#include "desktop/handheld/device_identification.h"
#include "desktop/handheld/library_invocations.h"
#include "desktop/handheld/power_watch.h"
#include "desktop/handheld/remote_session.h"
#include "desktop/handheld/windows_family.h"
#include "desktop/image/image_discovery.h"
#include "desktop/pages/page_dialog.h"
#include "desktop/platform/prefix.h"
#include "rapi/socket_remote_api.h"
#include "desktop/image/image_checks.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_choice.h"
#include "desktop/image/image_discovery.h"
#include "desktop/image/image_header.h"
#include "desktop/resources/text_table.h"
#include "desktop/session/page_host.h"

namespace corvash::wiring {
namespace {

// The remote API of the sync link (the prefix's socket) and the run's session
// on it, built on first use. Never destroyed, as watches that use them may
// outlive main().
handheld::RemoteSession& ProgramRemoteSession() {
  static rapi::SocketRemoteApi* const api = new rapi::SocketRemoteApi(platform::RapiSocketPath());
  static handheld::RemoteSession* const remote = new handheld::RemoteSession(*api);
  return *remote;
}

rapi::RemoteApi& ProgramRemoteApi() { return ProgramRemoteSession().Api(); }

std::string_view ProgramDir() { return platform::TextOf(session::Session().paths.programDir); }

void StopSyncProcesses() { handheld::StopActiveSync(handheld::QueryWindowsFamily()); }

using bootlink::LoaderLink;

// The program's link to the boot loader. Built once; never destroyed, as
// page workers that reach it may outlive main() (ShutDownLink closes it).
LoaderLink& ProgramLink() {
  static LoaderLink* const link = new LoaderLink(&bootlink::ImageDownloadThread, session::Session().serialLink);
  return *link;
}

// The port test frees the ports by stopping the desktop sync processes.
uint32_t TestPortsOf(LoaderLink& link) { return bootlink::TestPorts(link, &StopSyncProcesses); }

class LinkedSettings final : public driver::FlashSettingsOperations {
 public:
  session::FlashRecord ReadFlashSettings() override { return session::ReadFlashSettings(); }
  void DeleteFlashSettings() override { session::DeleteFlashSettings(); }
};

// The wizard's wait box, shown while an image is summed.
class WaitBox final : public image::WaitIndicator {
 public:
  void Show() override { session::ShowWaitBox(); }
  void Close() override { session::CloseWaitBox(); }
};

class LinkedImages final : public driver::ImageOperations {
 public:
  explicit LinkedImages(image::FileChooser& chooser) : chooser_(chooser) {}
  ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image) override {
    return image::ReadImageHeader(path, image);
  }
  ImageOutcome VerifyImageChecksum(const session::ChosenImage& image) override {
    WaitBox wait;
    return image::VerifyImageChecksum(image, wait);
  }
  ImageOutcome CheckVariant(const session::ChosenImage& image, const session::HandheldIdentity& handheld) override {
    return image::CheckVariant(image, handheld);
  }
  ImageOutcome CheckStoredImage(session::ChosenImage& image, const session::HandheldIdentity& handheld) override {
    return image::CheckStoredImage(image, handheld);
  }
  ImageOutcome FindImageInProgramDir(const session::RunPaths& paths, session::ChosenImage& image) override {
    return image::FindImageInProgramDir(paths, image);
  }
  ImageOutcome ChooseRestoreImage(session::ChosenImage& image) override {
    return image::ChooseRestoreImage(chooser_, image);
  }
  std::optional<uint32_t> ImageFileSize(std::string_view path) override { return image::ImageFileSize(path); }

 private:
  image::FileChooser& chooser_;
};

// The running handheld's services over the remote API and the sync software.
class LinkedDevice final : public driver::DeviceServices {
 public:
  handheld::Identification IdentifyDevice(std::string_view programDir, session::HandheldIdentity& identity) override {
    return handheld::IdentifyDevice(ProgramRemoteSession(), programDir, identity, [] { return image::FirstImageSize(session::Session().paths); });
  }
  void StopActiveSync() override { StopSyncProcesses(); }
  uint32_t CheckMainsPower() override { return handheld::CheckMainsPower(ProgramRemoteApi()); }
};

class LinkedBootLink final : public driver::BootLinkOperations {
 public:
  explicit LinkedBootLink(LoaderLink& link) : link_(link) {}
  uint32_t TestPorts() override { return TestPortsOf(link_); }
  void OpenCommandSession() override { bootlink::OpenCommandSession(link_); }
  void CloseCommandSession() override { bootlink::CloseCommandSession(link_); }
  bootlink::IdentityOutcome ReadDeviceIdentity(session::HandheldIdentity& identity) override {
    return bootlink::ReadDeviceIdentity(link_, identity);
  }
  void DrawVersionBox(std::string_view version) override { bootlink::DrawVersionBox(link_, version); }
  uint32_t FlashState() const override { return link_.flashState.load(); }

 private:
  LoaderLink& link_;
};

class LinkedTexts final : public driver::PageTexts {
 public:
  void LoadPageTexts() override { resources::LoadTextTable(); }
};

class LinkedFlashWorkers final : public pages::FlashWorkers {
 public:
  explicit LinkedFlashWorkers(LoaderLink& link) : link_(link) {}
  void IdentifyAndFlashThread() override { wiring::IdentifyAndFlashThread(link_, session::Session()); }
  void CheckAndFlashThread() override { wiring::CheckAndFlashThread(link_, session::Session()); }
  void WatchFlash(bootlink::FlashWatch* watch) override { link_.Watch(watch); }
  void LinkWatchdogExpired(bootlink::FlashWatch& watch) override { bootlink::LinkWatchdogExpired(link_, watch); }

 private:
  LoaderLink& link_;
};

class LinkedSettingsWriter final : public pages::FlashSettingsWriter {
 public:
  void WriteFlashSettings() override {
    const session::UpdateSession& run = session::Session();
    session::WriteFlashSettings(run.handheld, run.image, run.serialLink.load());
  }
  void DeleteFlashSettings() override { session::DeleteFlashSettings(); }
};

class LinkedTeardown final : public pages::LinkTeardown {
 public:
  explicit LinkedTeardown(LoaderLink& link) : link_(link) {}
  void CloseLink() override { link_.Close(); }
  // The reader ends by itself once the port is gone and the link closed; it
  // is joined when the program ends.
  void ReleasePort() override { link_.ClosePort(); }

 private:
  LoaderLink& link_;
};

class LinkedBootLoaderWatch final : public pages::BootLoaderWatch {
 public:
  explicit LinkedBootLoaderWatch(LoaderLink& link) : link_(link) {}
  void RunBootLoaderWatch(session::WorkerPage& page, std::atomic<uint32_t>& stop) override {
    handheld::RunBootLoaderWatch(ProgramRemoteApi(), page, stop, [this] { return TestPortsOf(link_); });
  }

 private:
  LoaderLink& link_;
};

class LinkedPowerWatch final : public pages::PowerWatch {
 public:
  explicit LinkedPowerWatch(LoaderLink& link) : link_(link) {}
  int QueryMainsStatus() override { return handheld::QueryMainsStatus(ProgramRemoteApi()); }
  void RunPowerWatch(session::WorkerPage& warning) override {
    handheld::RunPowerWatch(ProgramRemoteApi(), warning, link_.linkClosed);
  }

 private:
  LoaderLink& link_;
};

class LinkedBackupWorker final : public pages::BackupWorker {
 public:
  pages::BackupEnding RunBackupWorker(session::WorkerPage& page) override {
    const session::UpdateSession& s = session::Session();
    const handheld::BackupJob job{.programDir = std::string(ProgramDir()),
                                .backupPath = std::string(platform::TextOf(s.paths.backupPath)),
                                .handheld = s.handheld};
    const handheld::BackupOutcome outcome = handheld::BackupWorker(ProgramRemoteApi(), job, page);
    return pages::BackupEnding{.complete = outcome.complete, .screen = outcome.screen, .endsRun = outcome.endsRun};
  }
};

class LinkedClockSetter final : public pages::ClockSetter {
 public:
  int InvokeSetSysTime() override { return handheld::InvokeSetSysTime(ProgramRemoteSession(), ProgramDir()); }
};

class LinkedActiveSync final : public pages::ActiveSyncControl {
 public:
  void RestartActiveSync() override { handheld::RestartActiveSync(); }
};

// WARNUNG 112 before an existing backup file is replaced, with the options
// page hidden; "Abbrechen" shows the page again for another choice.
class ReplaceWarning final : public image::ReplaceQuestion {
 public:
  explicit ReplaceWarning(pages::PageDialog& page) : page_(page) {}
  bool MayReplace() override {
    page_.SetPageVisible(false);
    if (session::RunPage(image::kFileExistsWarningDialog) != image::kWarningCancel) return true;
    page_.SetPageVisible(true);
    return false;
  }

 private:
  pages::PageDialog& page_;
};

class LinkedBackupTarget final : public pages::BackupTargetChooser {
 public:
  explicit LinkedBackupTarget(image::FileChooser& chooser) : chooser_(chooser) {}
  int ChooseBackupTarget(pages::PageDialog& optionsPage) override {
    ReplaceWarning warning(optionsPage);
    session::UpdateSession& run = session::Session();
    const image::ImageOutcome outcome =
        image::ChooseBackupTarget(run.handheld, {chooser_, space_, warning}, run.paths);
    if (outcome == image::ImageOutcome::kNoSpace) {
      optionsPage.SetPageVisible(false);
      session::RunPage(image::kBackupImpossibleDialog);
      optionsPage.SetPageVisible(true);
    }
    return outcome == image::ImageOutcome::kOk ? 1 : 0;
  }

 private:
  image::FileChooser& chooser_;
  image::StatvfsDiskSpace space_;
};

// What this program gives the pages beyond the harmless defaults.
struct LinkedPageWorkers {
  LinkedPageWorkers(LoaderLink& link, image::FileChooser& chooser)
      : flashWorkers(link), teardown(link), bootLoaderWatch(link), powerWatch(link), backupTarget(chooser) {}
  LinkedFlashWorkers flashWorkers;
  LinkedSettingsWriter settingsWriter;
  LinkedTeardown teardown;
  LinkedBootLoaderWatch bootLoaderWatch;
  LinkedPowerWatch powerWatch;
  LinkedBackupWorker backupWorker;
  LinkedClockSetter clockSetter;
  LinkedActiveSync activeSync;
  LinkedBackupTarget backupTarget;
};

}  // namespace

const driver::WizardOperations& LinkedOperations(image::FileChooser& chooser) {
  static LinkedSettings settings;
  static LinkedImages images(chooser);
  static LinkedDevice device;
  static LinkedBootLink bootLink(ProgramLink());
  static const driver::WizardOperations operations{settings, images, device, bootLink, ProgramRemoteSession()};
  return operations;
}

driver::PageTexts& LinkedPageTexts() {
  static LinkedTexts texts;
  return texts;
}

pages::PageServices ProgramPageServices(pages::ReadmeViewer& readme, image::FileChooser& chooser) {
  // Never destroyed: a worker that a page started may outlive main().
  static LinkedPageWorkers* const workers = new LinkedPageWorkers(ProgramLink(), chooser);
  return pages::PageServices{
      .bootLoaderWatch = workers->bootLoaderWatch,
      .powerWatch = workers->powerWatch,
      .backupWorker = workers->backupWorker,
      .flashWorkers = workers->flashWorkers,
      .clockSetter = workers->clockSetter,
      .activeSync = workers->activeSync,
      .flashSettingsWriter = workers->settingsWriter,
      .linkTeardown = workers->teardown,
      .readmeViewer = readme,
      .backupTargetChooser = workers->backupTarget,
  };
}

void ShutDownLink() { ProgramLink().Close(); }

}  // namespace corvash::wiring
