#include "desktop/app/driver/unlinked_operations.h"

#include "desktop/session/page_ids.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "rapi/no_device_remote_api.h"

namespace corvash::driver {

using namespace pages;  // page and screen ids read as the driver's own
namespace {

// Shows `screenId`, closes the main window and fails.
uint32_t Fail(int screenId) {
  pages::RunPage(screenId);
  session::CloseMainWindow();
  return 0;
}

class UnlinkedSettings final : public FlashSettingsOperations {
 public:
  uint32_t ReadFlashSettings() override { return 0; }
  void DeleteFlashSettings() override {}
};

class UnlinkedImages final : public ImageOperations {
 public:
  explicit UnlinkedImages(device::RemoteSession& remote) : remote_(remote) {}
  uint32_t ReadImageHeader(std::string_view) override { return Fail(kScreenImageNotOpened); }
  uint32_t VerifyImageChecksum() override { return Fail(kScreenImageNotOpened); }
  uint32_t CheckVariant() override { return 0; }
  uint32_t CheckStoredImage() override { return 0; }
  uint32_t FindImageInProgramDir() override { return Fail(kScreenImageNotFound); }
  uint32_t ChooseRestoreImage() override { return 0; }
  uint32_t ImageFileSize(std::string_view) override {
    remote_.End();
    return Fail(kScreenImageNotOpened);
  }

 private:
  device::RemoteSession& remote_;
};

class UnlinkedDevice final : public DeviceServices {
 public:
  // Learns nothing: deviceModel stays empty.
  device::Identification IdentifyDevice(std::string_view, session::HandheldIdentity&) override { return {}; }
  void StopActiveSync() override {}
  uint32_t CheckMainsPower() override { return kPowerUnknown; }
};

class UnlinkedBootLink final : public BootLinkOperations {
 public:
  uint32_t TestPorts() override { return 0; }
  void OpenCommandSession() override {}
  void CloseCommandSession() override {}
  uint32_t ReadDeviceIdentity() override { return Fail(kScreenIdentityReadError); }
  void DrawVersionBox() override {}
};

class UnlinkedTexts final : public PageTexts {
 public:
  void LoadPageTexts() override {}
};

}  // namespace

WizardOperations UnlinkedOperations() {
  static rapi::NoDeviceRemoteApi noDevice;
  static device::RemoteSession remote(noDevice);
  static UnlinkedSettings settings;
  static UnlinkedImages images(remote);
  static UnlinkedDevice device;
  static UnlinkedBootLink bootLink;
  return WizardOperations{settings, images, device, bootLink, remote};
}

PageTexts& UnlinkedPageTexts() {
  static UnlinkedTexts texts;
  return texts;
}

}  // namespace corvash::driver
