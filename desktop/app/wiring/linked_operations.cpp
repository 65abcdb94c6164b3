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

void StopSyncProcesses() { handheld::StopActiveSync(handheld::QueryWindowsFamily()); }

using bootlink::LoaderLink;

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
  explicit WaitBox(session::PageHost& pages) : pages_(pages) {}
  void Show() override { pages_.ShowWaitBox(); }
  void Close() override { pages_.CloseWaitBox(); }

 private:
  session::PageHost& pages_;
};

class LinkedImages final : public driver::ImageOperations {
 public:
  LinkedImages(image::FileChooser& chooser, session::PageHost& pages) : chooser_(chooser), pages_(pages) {}
  ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image) override {
    return image::ReadImageHeader(path, image);
  }
  ImageOutcome VerifyImageChecksum(const session::ChosenImage& image) override {
    WaitBox wait(pages_);
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
  session::PageHost& pages_;
};

// The running handheld's services over the remote API and the sync software.
class LinkedDevice final : public driver::DeviceServices {
 public:
  LinkedDevice(handheld::RemoteSession& remote, const session::RunPaths& paths) : remote_(remote), paths_(paths) {}
  handheld::Identification IdentifyDevice(std::string_view programDir, session::HandheldIdentity& identity) override {
    return handheld::IdentifyDevice(remote_, programDir, identity, [this] { return image::FirstImageSize(paths_); });
  }
  void StopActiveSync() override { StopSyncProcesses(); }
  uint32_t CheckMainsPower() override { return handheld::CheckMainsPower(remote_.Api()); }

 private:
  handheld::RemoteSession& remote_;
  const session::RunPaths& paths_;
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
  LinkedFlashWorkers(LoaderLink& link, session::UpdateSession& run, session::PageHost& pages)
      : link_(link), run_(run), pages_(pages) {}
  void IdentifyAndFlashThread() override { wiring::IdentifyAndFlashThread(link_, run_, pages_); }
  void CheckAndFlashThread() override { wiring::CheckAndFlashThread(link_, run_, pages_); }
  void WatchFlash(bootlink::FlashWatch* watch) override { link_.Watch(watch); }
  void LinkWatchdogExpired(bootlink::FlashWatch& watch) override { bootlink::LinkWatchdogExpired(link_, watch); }

 private:
  LoaderLink& link_;
  session::UpdateSession& run_;
  session::PageHost& pages_;
};

class LinkedSettingsWriter final : public pages::FlashSettingsWriter {
 public:
  explicit LinkedSettingsWriter(const session::UpdateSession& run) : run_(run) {}
  void WriteFlashSettings() override {
    session::WriteFlashSettings(run_.handheld, run_.image, run_.serialLink.load());
  }
  void DeleteFlashSettings() override { session::DeleteFlashSettings(); }

 private:
  const session::UpdateSession& run_;
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
  LinkedBootLoaderWatch(LoaderLink& link, rapi::RemoteApi& api) : link_(link), api_(api) {}
  void RunBootLoaderWatch(session::WorkerPage& page, std::atomic<uint32_t>& stop) override {
    handheld::RunBootLoaderWatch(api_, page, stop, [this] { return TestPortsOf(link_); });
  }

 private:
  LoaderLink& link_;
  rapi::RemoteApi& api_;
};

class LinkedPowerWatch final : public pages::PowerWatch {
 public:
  LinkedPowerWatch(LoaderLink& link, rapi::RemoteApi& api) : link_(link), api_(api) {}
  int QueryMainsStatus() override { return handheld::QueryMainsStatus(api_); }
  void RunPowerWatch(session::WorkerPage& warning) override { handheld::RunPowerWatch(api_, warning, link_.linkClosed); }

 private:
  LoaderLink& link_;
  rapi::RemoteApi& api_;
};

class LinkedBackupWorker final : public pages::BackupWorker {
 public:
  LinkedBackupWorker(rapi::RemoteApi& api, const session::UpdateSession& run) : api_(api), run_(run) {}
  pages::BackupEnding RunBackupWorker(session::WorkerPage& page) override {
    const handheld::BackupJob job{.programDir = std::string(common::TextOf(run_.paths.programDir)),
                                  .backupPath = std::string(common::TextOf(run_.paths.backupPath)),
                                  .handheld = run_.handheld};
    const handheld::BackupOutcome outcome = handheld::BackupWorker(api_, job, page);
    return pages::BackupEnding{.complete = outcome.complete, .screen = outcome.screen, .endsRun = outcome.endsRun};
  }

 private:
  rapi::RemoteApi& api_;
  const session::UpdateSession& run_;
};

class LinkedClockSetter final : public pages::ClockSetter {
 public:
  LinkedClockSetter(handheld::RemoteSession& remote, const session::RunPaths& paths) : remote_(remote), paths_(paths) {}
  int InvokeSetSysTime() override {
    return handheld::InvokeSetSysTime(remote_, common::TextOf(paths_.programDir));
  }

 private:
  handheld::RemoteSession& remote_;
  const session::RunPaths& paths_;
};

class LinkedActiveSync final : public pages::ActiveSyncControl {
 public:
  void RestartActiveSync() override { handheld::RestartActiveSync(); }
};

// WARNUNG 112 before an existing backup file is replaced, with the options
// page hidden; "Abbrechen" shows the page again for another choice.
class ReplaceWarning final : public image::ReplaceQuestion {
 public:
  ReplaceWarning(pages::PageDialog& page, session::PageHost& pages) : page_(page), pages_(pages) {}
  bool MayReplace() override {
    page_.SetPageVisible(false);
    if (pages_.RunPage(image::kFileExistsWarningDialog) != image::kWarningCancel) return true;
    page_.SetPageVisible(true);
    return false;
  }

 private:
  pages::PageDialog& page_;
  session::PageHost& pages_;
};

class LinkedBackupTarget final : public pages::BackupTargetChooser {
 public:
  LinkedBackupTarget(image::FileChooser& chooser, session::UpdateSession& run, session::PageHost& pages)
      : chooser_(chooser), run_(run), pages_(pages) {}
  int ChooseBackupTarget(pages::PageDialog& optionsPage) override {
    ReplaceWarning warning(optionsPage, pages_);
    const image::ImageOutcome outcome =
        image::ChooseBackupTarget(run_.handheld, {chooser_, space_, warning}, run_.paths);
    if (outcome == image::ImageOutcome::kNoSpace) {
      optionsPage.SetPageVisible(false);
      pages_.RunPage(image::kBackupImpossibleDialog);
      optionsPage.SetPageVisible(true);
    }
    return outcome == image::ImageOutcome::kOk ? 1 : 0;
  }

 private:
  image::FileChooser& chooser_;
  session::UpdateSession& run_;
  session::PageHost& pages_;
  image::StatvfsDiskSpace space_;
};

}  // namespace

// Declared in the order they are built: the link and the remote session
// first, then what uses them.
struct LinkedProgram::Parts {
  Parts(session::UpdateSession& run, session::PageHost& pages, image::FileChooser& chooser,
        pages::ReadmeViewer& readme)
      : link(&bootlink::ImageDownloadThread, run.serialLink),
        api(platform::RapiSocketPath()),
        remote(api),
        images(chooser, pages),
        device(remote, run.paths),
        bootLink(link),
        operations{settings, images, device, bootLink, remote},
        flashWorkers(link, run, pages),
        settingsWriter(run),
        teardown(link),
        bootLoaderWatch(link, api),
        powerWatch(link, api),
        backupWorker(api, run),
        clockSetter(remote, run.paths),
        backupTarget(chooser, run, pages),
        readme(readme) {}

  LoaderLink link;
  rapi::SocketRemoteApi api;
  handheld::RemoteSession remote;
  LinkedSettings settings;
  LinkedImages images;
  LinkedDevice device;
  LinkedBootLink bootLink;
  LinkedTexts texts;
  const driver::WizardOperations operations;
  LinkedFlashWorkers flashWorkers;
  LinkedSettingsWriter settingsWriter;
  LinkedTeardown teardown;
  LinkedBootLoaderWatch bootLoaderWatch;
  LinkedPowerWatch powerWatch;
  LinkedBackupWorker backupWorker;
  LinkedClockSetter clockSetter;
  LinkedActiveSync activeSync;
  LinkedBackupTarget backupTarget;
  pages::ReadmeViewer& readme;
};

LinkedProgram::LinkedProgram(session::UpdateSession& run, session::PageHost& pages, image::FileChooser& chooser,
                             pages::ReadmeViewer& readme)
    : parts_(std::make_unique<Parts>(run, pages, chooser, readme)) {}

LinkedProgram::~LinkedProgram() = default;

const driver::WizardOperations& LinkedProgram::Operations() const { return parts_->operations; }

driver::PageTexts& LinkedProgram::Texts() { return parts_->texts; }

pages::PageServices LinkedProgram::PageServices() {
  Parts& p = *parts_;
  return pages::PageServices{
      .bootLoaderWatch = p.bootLoaderWatch,
      .powerWatch = p.powerWatch,
      .backupWorker = p.backupWorker,
      .flashWorkers = p.flashWorkers,
      .clockSetter = p.clockSetter,
      .activeSync = p.activeSync,
      .flashSettingsWriter = p.settingsWriter,
      .linkTeardown = p.teardown,
      .readmeViewer = p.readme,
      .backupTargetChooser = p.backupTarget,
  };
}

void LinkedProgram::ShutDownLink() { parts_->link.Close(); }

}  // namespace corvash::wiring
