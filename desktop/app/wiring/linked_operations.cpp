#include "desktop/app/wiring/linked_operations.h"

#include "desktop/app/driver/unlinked_operations.h"
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
#include "desktop/device/activesync_control.h"
#include "desktop/device/backup_pull.h"
#include "desktop/device/device_identification.h"
#include "desktop/device/library_invocations.h"
#include "desktop/device/power_watch.h"
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

namespace corvash::wiring {
namespace {

using bootlink::LoaderLink;

// The program's link to the boot loader. Built once; never destroyed, as
// page workers that reach it may outlive main() (ShutDownLink closes it).
LoaderLink& ProgramLink() {
  static LoaderLink* const link = new LoaderLink(&bootlink::ImageDownloadThread, session::Session().serialLink);
  return *link;
}

// The port test frees the ports by stopping the desktop sync processes.
uint32_t TestPortsOf(LoaderLink& link) { return bootlink::TestPorts(link, [] { device::StopActiveSync(); }); }

class LinkedSettings final : public driver::FlashSettingsOperations {
 public:
  uint32_t ReadFlashSettings() override { return session::ReadFlashSettings(); }
  void DeleteFlashSettings() override { session::DeleteFlashSettings(); }
};

class LinkedImages final : public driver::ImageOperations {
 public:
  uint32_t ReadImageHeader(std::string_view path) override { return image::ReadImageHeader(path); }
  uint32_t VerifyImageChecksum() override { return image::VerifyImageChecksum(); }
  uint32_t CheckVariant() override { return image::CheckVariant(); }
  uint32_t CheckStoredImage() override { return image::CheckStoredImage(); }
  uint32_t FindImageInProgramDir() override { return image::FindImageInProgramDir(); }
  uint32_t ChooseRestoreImage() override { return image::ChooseRestoreImage(); }
  uint32_t ImageFileSize(std::string_view path) override { return image::ImageFileSize(path); }
};

// The running handheld's services over the remote API and the sync software.
class LinkedDevice final : public driver::DeviceServices {
 public:
  uint32_t IdentifyDevice() override { return device::IdentifyDevice(&image::FirstImageSize); }
  void StopActiveSync() override { device::StopActiveSync(); }
  uint32_t CheckMainsPower() override { return device::CheckMainsPower(); }
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
  void WriteFlashSettings() override { session::WriteFlashSettings(); }
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
  void RunBootLoaderWatch(pages::WorkerPage& page, std::atomic<uint32_t>& stop) override {
    device::RunBootLoaderWatch(page, stop, [this] { return TestPortsOf(link_); });
  }

 private:
  LoaderLink& link_;
};

class LinkedPowerWatch final : public pages::PowerWatch {
 public:
  explicit LinkedPowerWatch(LoaderLink& link) : link_(link) {}
  int QueryMainsStatus() override { return device::QueryMainsStatus(); }
  void RunPowerWatch(pages::WorkerPage& warning) override { device::RunPowerWatch(warning, link_.linkClosed); }

 private:
  LoaderLink& link_;
};

class LinkedBackupWorker final : public pages::BackupWorker {
 public:
  void RunBackupWorker(pages::WorkerPage& page) override { device::BackupWorker(page); }
};

class LinkedClockSetter final : public pages::ClockSetter {
 public:
  int InvokeSetSysTime() override { return device::InvokeSetSysTime(); }
};

class LinkedActiveSync final : public pages::ActiveSyncControl {
 public:
  void RestartActiveSync() override { device::RestartActiveSync(); }
};

// The options page as the backup target's chooser hides and shows it.
class OptionsPageWindow final : public image::PageWindow {
 public:
  explicit OptionsPageWindow(pages::PageDialog& page) : page_(page) {}
  void Hide() override { page_.SetPageVisible(false); }
  void Show() override { page_.SetPageVisible(true); }

 private:
  pages::PageDialog& page_;
};

class LinkedBackupTarget final : public pages::BackupTargetChooser {
 public:
  int ChooseBackupTarget(pages::PageDialog& optionsPage) override {
    OptionsPageWindow window(optionsPage);
    return static_cast<int>(image::ChooseBackupTarget(&window));
  }
};

// What this program gives the pages beyond the harmless defaults.
struct LinkedPageWorkers {
  explicit LinkedPageWorkers(LoaderLink& link)
      : flashWorkers(link), teardown(link), bootLoaderWatch(link), powerWatch(link) {}
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

const driver::WizardOperations& LinkedOperations() {
  static LinkedSettings settings;
  static LinkedImages images;
  static LinkedDevice device;
  static LinkedBootLink bootLink(ProgramLink());
  static const driver::WizardOperations operations{settings, images, device, bootLink};
  return operations;
}

driver::PageTexts& LinkedPageTexts() {
  static LinkedTexts texts;
  return texts;
}

pages::PageServices ProgramPageServices(pages::ReadmeViewer& readme) {
  // Never destroyed: a worker that a page started may outlive main().
  static LinkedPageWorkers* const workers = new LinkedPageWorkers(ProgramLink());
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

void BindLinkHooks() {
  // The remote API of the sync link: the prefix's socket. Never destroyed,
  // as watches that use it may outlive main().
  static rapi::SocketRemoteApi* const remoteApi = new rapi::SocketRemoteApi(platform::RapiSocketPath());
  rapi::InstallRemoteApi(remoteApi);
}

void ShutDownLink() { ProgramLink().Close(); }

}  // namespace corvash::wiring
