#include "desktop/app/driver/unlinked_operations.h"

#include "rapi/no_device_remote_api.h"

namespace corvash::driver {

namespace {

class UnlinkedSettings final : public FlashSettingsOperations {
 public:
  session::FlashRecord ReadFlashSettings() override { return {}; }
  void DeleteFlashSettings() override {}
};

// Every image reads as unopenable or absent; a stored image is never checked.
class UnlinkedImages final : public ImageOperations {
 public:
  ImageOutcome ReadImageHeader(std::string_view, session::ChosenImage&) override { return ImageOutcome::kNotOpened; }
  ImageOutcome VerifyImageChecksum(const session::ChosenImage&) override { return ImageOutcome::kNotOpened; }
  ImageOutcome CheckVariant(const session::ChosenImage&, const session::HandheldIdentity&) override {
    return ImageOutcome::kVariantMismatch;
  }
  ImageOutcome CheckStoredImage(session::ChosenImage&, const session::HandheldIdentity&) override {
    return ImageOutcome::kNoStoredImage;
  }
  ImageOutcome FindImageInProgramDir(const session::RunPaths&, session::ChosenImage&) override {
    return ImageOutcome::kNoImage;
  }
  ImageOutcome ChooseRestoreImage(session::ChosenImage&) override { return ImageOutcome::kCancelled; }
  std::optional<uint32_t> ImageFileSize(std::string_view) override { return std::nullopt; }
};

class UnlinkedDevice final : public DeviceServices {
 public:
  // Learns nothing: deviceModel stays empty.
  handheld::Identification IdentifyDevice(std::string_view, session::HandheldIdentity&) override { return {}; }
  void StopActiveSync() override {}
  uint32_t CheckMainsPower() override { return kPowerUnknown; }
};

class UnlinkedBootLink final : public BootLinkOperations {
 public:
  uint32_t TestPorts() override { return 0; }
  void OpenCommandSession() override {}
  void CloseCommandSession() override {}
  bootlink::IdentityOutcome ReadDeviceIdentity(session::HandheldIdentity&) override {
    return bootlink::IdentityOutcome::kFailed;
  }
  void DrawVersionBox(std::string_view) override {}
  uint32_t FlashState() const override { return 0; }
};

class UnlinkedTexts final : public PageTexts {
 public:
  void LoadPageTexts() override {}
};

}  // namespace

struct UnlinkedOperations::Parts {
  rapi::NoDeviceRemoteApi noDevice;
  handheld::RemoteSession remote{noDevice};
  UnlinkedSettings settings;
  UnlinkedImages images;
  UnlinkedDevice device;
  UnlinkedBootLink bootLink;
  UnlinkedTexts texts;
  WizardOperations operations{settings, images, device, bootLink, remote};
};

UnlinkedOperations::UnlinkedOperations() : parts_(std::make_unique<Parts>()) {}
UnlinkedOperations::~UnlinkedOperations() = default;

const WizardOperations& UnlinkedOperations::Operations() const { return parts_->operations; }
PageTexts& UnlinkedOperations::Texts() { return parts_->texts; }

}  // namespace corvash::driver
