#pragma once
// What the wizard driver needs of the other subsystems, one small interface
// per subsystem. The program binds them to the real operations; tests bind
// doubles. The operations take the values they read and return what they
// learnt; the driver shows the screens their outcomes name. The boot-link
// operations keep the older convention: results of 1 go on, and an operation
// that meets a fault shows its numbered screen itself, closes the main window
// and returns 0. All calls come from the wizard thread, one at a time.
#include <cstdint>
#include <optional>
#include <string_view>

#include "desktop/bootlink/identity_read.h"
#include "desktop/handheld/device_identification.h"
#include "desktop/handheld/power_watch.h"
#include "desktop/image/image_outcome.h"
#include "desktop/session/flash_settings.h"
#include "desktop/handheld/remote_session.h"
#include "desktop/session/update_session.h"

namespace corvash::driver {

// The record of a pending flash in the user's registry.
class FlashSettingsOperations {
 public:
  virtual ~FlashSettingsOperations() = default;
  // The record: pending is 1 when a flash was started and not finished;
  // imagePath is the stored image's path, if any. No screen.
  virtual session::FlashRecord ReadFlashSettings() = 0;
  // Deletes the record; silent.
  virtual void DeleteFlashSettings() = 0;
};

// Reading, checking and finding image files. None shows a screen.
class ImageOperations {
 public:
  using ImageOutcome = image::ImageOutcome;
  virtual ~ImageOperations() = default;
  // Fills the image fields of `image` from the header of `path`: kOk,
  // kNotFound or kNotOpened.
  virtual ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image) = 0;
  // kOk when the checksum of imagePath matches its header, kChecksumMismatch
  // when not, kNotFound or kNotOpened when the file cannot be opened. The
  // wait box shows while the file is summed.
  virtual ImageOutcome VerifyImageChecksum(const session::ChosenImage& image) = 0;
  // kOk when deviceVariant equals imageVariant (without regard to case),
  // else kVariantMismatch.
  virtual ImageOutcome CheckVariant(const session::ChosenImage& image, const session::HandheldIdentity& handheld) = 0;
  // Reads the header of imagePath and compares model and language:
  // kOk, kNoStoredImage (empty path), kNotFound, kNotOpened, kModelMismatch
  // or kLanguageMismatch.
  virtual ImageOutcome CheckStoredImage(session::ChosenImage& image, const session::HandheldIdentity& handheld) = 0;
  // kOk with imagePath and foundImagePath set to the first image beside the
  // program; kNoImage when there is none.
  virtual ImageOutcome FindImageInProgramDir(const session::RunPaths& paths, session::ChosenImage& image) = 0;
  // kOk when the user chose a file into imagePath; kCancelled otherwise.
  virtual ImageOutcome ChooseRestoreImage(session::ChosenImage& image) = 0;
  // Byte size of `path` (0xFFFFFFFF from 4 GiB on); nullopt when it cannot be read.
  virtual std::optional<uint32_t> ImageFileSize(std::string_view path) = 0;
};

// CheckMainsPower results are the power check's own.
using handheld::kPowerGoOn;
using handheld::kPowerNoMains;
using handheld::kPowerUnknown;

// Services of the running device, over the remote API and the sync software.
class DeviceServices {
 public:
  virtual ~DeviceServices() = default;
  // Fills the device fields of `identity` (the libraries come from
  // `programDir`) and writes the identity to the device. The driver relies
  // only on deviceModel afterwards (empty when nothing was learnt). The
  // result names the screen to show (FEHLER 117 for another model).
  virtual handheld::Identification IdentifyDevice(std::string_view programDir, session::HandheldIdentity& identity) = 0;
  // Ends the sync processes so that they free the port; takes some seconds.
  virtual void StopActiveSync() = 0;
  // kPowerGoOn, kPowerNoMains (the driver shows the power warning) or
  // kPowerUnknown (the device cannot be asked).
  virtual uint32_t CheckMainsPower() = 0;
};

// The link to the device's boot loader.
class BootLinkOperations {
 public:
  virtual ~BootLinkOperations() = default;
  // 1 when the boot loader answered on a port (the link then stays open).
  virtual uint32_t TestPorts() = 0;
  virtual void OpenCommandSession() = 0;
  virtual void CloseCommandSession() = 0;
  // Reads the device fields from flash into `identity`; kFailed asks the
  // caller for FEHLER 116.
  virtual bootlink::IdentityOutcome ReadDeviceIdentity(session::HandheldIdentity& identity) = 0;
  // Draws `version` on the device screen.
  virtual void DrawVersionBox(std::string_view version) = 0;
  // The link's flashState (kFlashCompleted after a completed flash).
  virtual uint32_t FlashState() const = 0;
};

// The text table of the pages, loaded once before the first page.
class PageTexts {
 public:
  virtual ~PageTexts() = default;
  virtual void LoadPageTexts() = 0;
};

// The operations of one run and the remote-API session the run starts, waits
// on and ends. The referenced objects outlive the run.
struct WizardOperations {
  FlashSettingsOperations& settings;
  ImageOperations& images;
  DeviceServices& device;
  BootLinkOperations& bootLink;
  handheld::RemoteSession& remote;
};

}  // namespace corvash::driver

namespace corvash::session {
class PageHost;
}

namespace corvash::driver {

// One run as the driver's steps see it: the operations they call, the host
// that opens the run's pages and screens, and the run's values, which the
// driver owns for the run and hands on in parts. All three outlive the run.
struct WizardContext {
  const WizardOperations& ops;
  session::PageHost& pages;
  session::UpdateSession& run;
};

}  // namespace corvash::driver
