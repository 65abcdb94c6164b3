#include "desktop/app/wiring/linked_operations.h"

#include "desktop/app/driver/unlinked_operations.h"
#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/port_test.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/bootlink/version_box.h"
#include "desktop/device/activesync_control.h"
#include "desktop/image/image_checks.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_choice.h"
#include "desktop/image/image_discovery.h"
#include "desktop/image/image_header.h"
#include "desktop/resources/text_table.h"

namespace corvash::wiring {
namespace {

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

// The running device's services: only the sync-process stop exists so far;
// identification and the power check keep their unlinked answers.
class LinkedDevice final : public driver::DeviceServices {
 public:
  explicit LinkedDevice(driver::DeviceServices& unlinked) : unlinked_(unlinked) {}
  uint32_t IdentifyDevice() override { return unlinked_.IdentifyDevice(); }
  void StopActiveSync() override { device::StopActiveSync(); }
  uint32_t CheckMainsPower() override { return unlinked_.CheckMainsPower(); }

 private:
  driver::DeviceServices& unlinked_;
};

class LinkedBootLink final : public driver::BootLinkOperations {
 public:
  uint32_t TestPorts() override { return bootlink::TestPorts(); }
  void OpenCommandSession() override { bootlink::OpenCommandSession(); }
  void CloseCommandSession() override { bootlink::CloseCommandSession(); }
  uint32_t ReadDeviceIdentity() override { return bootlink::ReadDeviceIdentity(); }
  void DrawVersionBox() override { bootlink::DrawVersionBox(); }
};

class LinkedTexts final : public driver::PageTexts {
 public:
  void LoadPageTexts() override { resources::LoadTextTable(); }
};

class LinkedFlashWorkers final : public pages::FlashWorkers {
 public:
  void IdentifyAndFlashThread() override { bootlink::IdentifyAndFlashThread(); }
  void CheckAndFlashThread() override { bootlink::CheckAndFlashThread(); }
};

class LinkedSettingsWriter final : public pages::FlashSettingsWriter {
 public:
  void WriteFlashSettings() override { session::WriteFlashSettings(); }
};

class LinkedTeardown final : public pages::LinkTeardown {
 public:
  void ShutDownReadThread() override { ShutDownLink(); }
  // The reader ends by itself once linkClosed is set; it is joined when the
  // program ends.
  void ReleaseReadThread() override {}
};

// What this program gives the pages beyond the harmless defaults.
struct LinkedPageWorkers {
  LinkedFlashWorkers flashWorkers;
  LinkedSettingsWriter settingsWriter;
  LinkedTeardown teardown;
};

}  // namespace

const driver::WizardOperations& LinkedOperations() {
  static LinkedSettings settings;
  static LinkedImages images;
  static driver::WizardOperations unlinked = driver::UnlinkedOperations();
  static LinkedDevice device(unlinked.device);
  static LinkedBootLink bootLink;
  static const driver::WizardOperations operations{settings, images, device, bootLink};
  return operations;
}

driver::PageTexts& LinkedPageTexts() {
  static LinkedTexts texts;
  return texts;
}

pages::PageServices ProgramPageServices(pages::ReadmeViewer& readme) {
  // Never destroyed: a worker that a page started may outlive main().
  static LinkedPageWorkers* const workers = new LinkedPageWorkers;
  return pages::PageServices{
      .flashWorkers = workers->flashWorkers,
      .flashSettingsWriter = workers->settingsWriter,
      .linkTeardown = workers->teardown,
      .readmeViewer = readme,
  };
}

void BindLinkHooks() {
  bootlink::SetSyncStopper(&device::StopActiveSync);
  bootlink::InstallImageDownload();
}

void ShutDownLink() { bootlink::ShutdownLink(); }

}  // namespace corvash::wiring
