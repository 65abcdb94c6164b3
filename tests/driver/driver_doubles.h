#pragma once
// Doubles for walking the wizard's page graph: a page host that answers each
// template from a script and sets the flags the real page would, operations
// that fill the values they are handed and return outcomes as the real
// subsystems do, and a remote API whose
// link comes up or not.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/session/page_ids.h"
#include "desktop/app/driver/wizard_operations.h"
#include "desktop/session/update_session.h"
#include "desktop/session/page_host.h"
#include "rapi/no_device_remote_api.h"

namespace corvash::driver::doubles {

using namespace session;

// Every error screen of the run.
inline const std::set<int> kErrorScreens = {kScreenActiveSyncTooOld, kScreenConnectionError,
                                            kScreenChecksumError,    kScreenIncompatibleImage,
                                            kScreenImageTooLarge,    kScreenUpdateError,
                                            kScreenInvalidModel,     kScreenImageNotFound,
                                            kScreenImageNotOpened,   kScreenIdentityReadError,
                                            /* FEHLER 107 */ 145};

// What a scripted page does when it opens: sets its flags in the run,
// returns its result.
using PageAction = std::function<int(session::UpdateSession& run)>;

// The buttons of the wizard pages, with the results and flags of each page.
PageAction Forward(int page);
PageAction Cancel(int page);
PageAction Back(int page);
PageAction Choose(int optionResult);  // option page 109
class FakeBootLink;
// Progress page 102: ends with `result` after setting the flash state of `link`.
PageAction Progress(FakeBootLink& link, int result, uint32_t flashState);

// Wait-box events in the log.
inline constexpr int kWaitBoxShown = kPageWaitBox;
inline constexpr int kWaitBoxClosed = -kPageWaitBox;

class ScriptedPageHost : public session::PageHost {
 public:
  // The pages set their flags in `run`, which must outlive the host.
  explicit ScriptedPageHost(session::UpdateSession& run) : run_(run) {}

  // Queues `action` for the next opening of `page`. Pages opened without a
  // queued action go forward; error screens end with 1.
  void Then(int page, PageAction action) { script_[page].push_back(std::move(action)); }
  // Called on every opening, before the page's action (to look at the session).
  std::function<void(int page)> onOpen;

  int RunPage(int templateId) override;
  void ShowWaitBox() override;
  void CloseWaitBox() override;

  // Pages, screens and wait-box events in order.
  std::vector<int> log;
  // Pages and screens only.
  std::vector<int> Pages() const;
  std::vector<int> Screens() const;
  bool WaitBoxOpen() const { return waitBoxOpen_; }
  bool ScriptUsedUp() const;

 private:
  session::UpdateSession& run_;
  std::map<int, std::deque<PageAction>> script_;
  bool waitBoxOpen_ = false;
};

struct Identity {
  std::string model = "Quor 5210";
  std::string variant = "NBT";
  std::string langCode = "ENG";
  std::string language = "English";
  std::string version = "2.04";
  uint8_t flashSizeMB = 32;
  uint32_t imageSizeKB = 0;  // what identification found beside the program
};

// Fills `handheld` as identification of `identity` does.
void ApplyIdentity(const Identity& identity, session::HandheldIdentity& handheld);

struct FakeImage {
  std::string model = "Quor 5210";
  std::string variant = "NBT";
  std::string langCode = "ENG";
  std::string version = "2.05";
  bool checksumOk = true;
  bool readable = true;   // exists but cannot be opened when false
  bool sizeKnown = true;  // its size can be read
  uint32_t sizeBytes = 32u << 20;
};

class FakeSettings : public FlashSettingsOperations {
 public:
  session::FlashRecord ReadFlashSettings() override;
  void DeleteFlashSettings() override { ++deletes; }

  uint32_t flash = 0;                 // the "Flash" value
  std::optional<std::string> storedPath;  // the "FlashFile" value
  int reads = 0;
  int deletes = 0;
};

class FakeImages : public ImageOperations {
 public:
  ImageOutcome ReadImageHeader(std::string_view path, session::ChosenImage& image) override;
  ImageOutcome VerifyImageChecksum(const session::ChosenImage& image) override;
  ImageOutcome CheckVariant(const session::ChosenImage& image, const session::HandheldIdentity& handheld) override;
  ImageOutcome CheckStoredImage(session::ChosenImage& image, const session::HandheldIdentity& handheld) override;
  ImageOutcome FindImageInProgramDir(const session::RunPaths& paths, session::ChosenImage& image) override;
  ImageOutcome ChooseRestoreImage(session::ChosenImage& image) override;
  std::optional<uint32_t> ImageFileSize(std::string_view path) override;

  rapi::RemoteApi* api = nullptr;  // the run's remote API, ended when a size cannot be read
  std::map<std::string, FakeImage> files;
  std::string besideProgram;            // "" = none
  std::deque<std::string> chooserAnswers;  // "" = cancelled
  std::vector<std::string> headersRead;
  int finds = 0;
};

class FakeDevice : public DeviceServices {
 public:
  handheld::Identification IdentifyDevice(std::string_view programDir, session::HandheldIdentity& identity) override;
  void StopActiveSync() override { ++stops; }
  uint32_t CheckMainsPower() override;

  std::optional<Identity> identity = Identity{};  // nullopt: nothing learnt
  bool namesInvalidModel = false;                // names FEHLER 117 for the driver to show
  std::deque<uint32_t> powerAnswers;             // empty: kPowerGoOn
  int identifications = 0;
  int stops = 0;
};

class FakeBootLink : public BootLinkOperations {
 public:
  uint32_t TestPorts() override;
  void OpenCommandSession() override { ++opens; }
  void CloseCommandSession() override { ++closes; }
  bootlink::IdentityOutcome ReadDeviceIdentity(session::HandheldIdentity& identity) override;
  void DrawVersionBox(std::string_view version) override { versionsDrawn.emplace_back(version); }
  uint32_t FlashState() const override { return flashState.load(); }

  bool loaderAnswers = false;
  std::optional<Identity> loaderIdentity = Identity{};  // nullopt: the read fails
  std::atomic<uint32_t> flashState{0};
  int portTests = 0;
  int opens = 0;
  int closes = 0;
  int identityReads = 0;
  std::vector<std::string> versionsDrawn;
};

// A remote API whose link comes up at once when `linked`.
class FakeRemoteApi : public rapi::NoDeviceRemoteApi {
 public:
  rapi::HRESULT CeRapiInitEx(rapi::RapiInitRecord& init) override;
  rapi::HRESULT CeRapiUninit() override {
    ++uninits;
    return rapi::S_OK;
  }

  std::atomic<bool> linked{false};
  std::atomic<int> inits{0};
  std::atomic<int> uninits{0};
};

struct FakeOperations {
  explicit FakeOperations(rapi::RemoteApi& api) : remote(api) { images.api = &api; }
  FakeSettings settings;
  FakeImages images;
  FakeDevice device;
  FakeBootLink bootLink;
  handheld::RemoteSession remote;
  WizardOperations Bind() { return WizardOperations{settings, images, device, bootLink, remote}; }
};

}  // namespace corvash::driver::doubles
