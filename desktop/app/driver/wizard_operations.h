#pragma once
// What the wizard driver needs of the other subsystems, one small interface
// per subsystem. The program binds them to the real operations; tests bind
// doubles. Every operation keeps the system's convention: results of 1 go on,
// and an operation that meets a fault shows its numbered screen itself,
// closes the main window (session::CloseMainWindow) and returns 0. All calls come
// from the wizard thread, one at a time.
#include <cstdint>
#include <string_view>

#include "desktop/device/power_watch.h"

namespace corvash::driver {

// The record of a pending flash in the user's registry.
class FlashSettingsOperations {
 public:
  virtual ~FlashSettingsOperations() = default;
  // 1 when the record says a flash was started and not finished. A stored
  // image path goes to imagePath and sets recoveryMode. No screen.
  virtual uint32_t ReadFlashSettings() = 0;
  // Deletes the record; silent.
  virtual void DeleteFlashSettings() = 0;
};

// Reading, checking and finding image files.
class ImageOperations {
 public:
  virtual ~ImageOperations() = default;
  // Fills the image fields from the header of `path`. 0 when the file cannot
  // be opened: FEHLER 104 shown, except for a vanished stored image while
  // recoveryMode is set (no screen, window left open).
  virtual uint32_t ReadImageHeader(std::string_view path) = 0;
  // 1 when the checksum of imagePath matches its header; 0 on a mismatch (no
  // screen: the caller shows FEHLER 102) or when the file cannot be opened
  // (FEHLER 104 shown, window closed).
  virtual uint32_t VerifyImageChecksum() = 0;
  // 1 when deviceVariant equals imageVariant (without regard to case). No screen.
  virtual uint32_t CheckVariant() = 0;
  // 1 when model and language of imagePath fit the device; 0 without a
  // screen while recoveryMode is set, else after FEHLER 100.
  virtual uint32_t CheckStoredImage() = 0;
  // 1 with imagePath and foundImagePath set to the first image beside the
  // program; 0 after FEHLER 103.
  virtual uint32_t FindImageInProgramDir() = 0;
  // 1 when the user chose a file into imagePath; 0 when the chooser was cancelled.
  virtual uint32_t ChooseRestoreImage() = 0;
  // Byte size of `path` (0xFFFFFFFF from 4 GiB on); 0 after FEHLER 104 (window closed).
  virtual uint32_t ImageFileSize(std::string_view path) = 0;
};

// CheckMainsPower results are the power check's own.
using device::kPowerGoOn;
using device::kPowerUnknown;
using device::kPowerUserGaveUp;

// Services of the running device, over the remote API and the sync software.
class DeviceServices {
 public:
  virtual ~DeviceServices() = default;
  // Fills the device fields and writes the identity to the device. The
  // driver relies only on deviceModel afterwards (empty when nothing was
  // learnt); FEHLER 117 may have been shown.
  virtual uint32_t IdentifyDevice() = 0;
  // Ends the sync processes so that they free the port; takes some seconds.
  virtual void StopActiveSync() = 0;
  // kPowerGoOn, kPowerUserGaveUp (after the power warning) or kPowerUnknown
  // (the device cannot be asked).
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
  // 1 with the device fields read from flash; 0 after FEHLER 116.
  virtual uint32_t ReadDeviceIdentity() = 0;
  // Draws the new version on the device screen.
  virtual void DrawVersionBox() = 0;
};

// The text table of the pages, loaded once before the first page.
class PageTexts {
 public:
  virtual ~PageTexts() = default;
  virtual void LoadPageTexts() = 0;
};

// The operations of one run. The referenced objects outlive the run.
struct WizardOperations {
  FlashSettingsOperations& settings;
  ImageOperations& images;
  DeviceServices& device;
  BootLinkOperations& bootLink;
};

}  // namespace corvash::driver
