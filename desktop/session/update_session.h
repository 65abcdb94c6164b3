#pragma once
// UpdateSession: the record of one run of the wizard. The program makes one
// and hands its parts to the driver, the pages and the workers that read or
// fill them. Text fields are narrow, zero-terminated and of fixed
// capacity (bytes, terminator included); write them with CopyText, which cuts
// cleanly. Flags that threads share are atomics.
#include <atomic>
#include <cstdint>

#include "common/fixed_text.h"


namespace corvash::session {

inline constexpr size_t kPathCapacity = 260;

// The image chosen for this run: its path and the fields of its header.
struct ChosenImage {
  char imagePath[kPathCapacity] = {};
  char foundImagePath[kPathCapacity] = {};
  char imageModel[10] = {};
  char imageVariant[4] = {};
  char imageLangCode[4] = {};
  char imageLanguage[16] = {};
  char imageVersion[5] = {};
  char imageChecksumText[5] = {};
  uint32_t imageSizeKB = 0;
};

// The handheld's identity, from identification over the remote API or from
// the boot loader's identity read.
struct HandheldIdentity {
  char deviceModel[16] = {};
  char deviceVariant[4] = {};
  char deviceLangCode[16] = {};
  char deviceLanguage[20] = {};
  char deviceVersion[20] = {};
  uint8_t flashSizeMB = 0;
  char identityText[32] = {};
};

// Folders and files of the run beside the image.
struct RunPaths {
  char programDir[kPathCapacity] = {};
  char windowsDir[kPathCapacity] = {};
  char markerPath[kPathCapacity] = {};
  char backupPath[kPathCapacity] = {};
};

// The wizard's flow: flags set by the pages and the driver, and the state of
// the flash. mainWindow is 1 while the hidden main window exists; closing it
// ends the run.
struct WizardFlow {
  std::atomic<uint32_t> mainWindow{0};
  std::atomic<uint32_t> cancelled{0};
  std::atomic<uint32_t> backFromPrepare{0};
  std::atomic<uint32_t> backFromConnect{0};
  std::atomic<uint32_t> backFromOptions{0};
  std::atomic<uint32_t> backFromConfirm{0};
  std::atomic<uint32_t> backFromReady{0};
  std::atomic<uint32_t> backFromBootInstructions{0};
  std::atomic<uint32_t> backAllowed{1};
  std::atomic<uint32_t> pendingFlash{0};
  std::atomic<uint32_t> recoveryMode{0};
  std::atomic<uint32_t> modelMismatch{0};
  std::atomic<uint32_t> versionMismatch{0};
  std::atomic<uint32_t> languageMismatch{0};
  // 1 while the recovery run opens the progress page (102): the page then
  // starts CheckAndFlashThread instead of IdentifyAndFlashThread. Set by the
  // wizard driver.
  std::atomic<uint32_t> recoveryFlash{0};
  // 1 once the wait box (122) has opened; it stays set after the box ends.
  std::atomic<uint32_t> waitDialog{0};
};

// Puts every flag back to its start value.
void ResetFlow(WizardFlow& flow);

struct UpdateSession {
  UpdateSession();
  UpdateSession(const UpdateSession&) = delete;
  UpdateSession& operator=(const UpdateSession&) = delete;

  // Puts every field back to its default (the state at program start).
  void Reset();

  RunPaths paths;
  ChosenImage image;
  HandheldIdentity handheld;
  WizardFlow flow;
  // How the handheld is attached: 1 a COM port, 0 the USB serial device.
  std::atomic<uint32_t> serialLink{1};

};

// Asks the hidden main window to close: the run ends after the current page.
inline void CloseMainWindow(WizardFlow& flow) { flow.mainWindow.store(0); }

}  // namespace corvash::session
