#include "tests/driver/driver_doubles.h"

#include "common/fixed_text.h"
#include "rapi/remote_api.h"

namespace corvash::driver::doubles {
namespace {

using common::CopyText;
using common::TextOf;

std::atomic<uint32_t>* BackFlag(int page, session::UpdateSession& s) {
  switch (page) {
    case kPagePrepare: return &s.flow.backFromPrepare;
    case kPageConnect: return &s.flow.backFromConnect;
    case kPageOptions: return &s.flow.backFromOptions;
    case kPageConfirm: return &s.flow.backFromConfirm;
    case kPageReady: return &s.flow.backFromReady;
    case kPageBootInstructions: return &s.flow.backFromBootInstructions;
    default: return nullptr;
  }
}

}  // namespace

PageAction Forward(int page) {
  return [page](session::UpdateSession&) {
    switch (page) {
      case kPageConfirm:
      case kPageReady:
      case kPageBootInstructions:
      case kPageProgress:
      case kPageBackupProgress: return 1;
      case kPageWelcome:
      case kPagePrepare:
      case kPageConnect:
      case kPageOptions:
      case kPageResetInstructions:
      case kPageFinish: return 0;
      default: return 1;  // error screens
    }
  };
}

PageAction Cancel(int page) {
  return [page](session::UpdateSession& run) {
    run.flow.cancelled = 1;
    switch (page) {
      case kPageConfirm:
      case kPageReady: return 2;
      case kPageBootInstructions: return 0;
      default: return 1;
    }
  };
}

PageAction Back(int page) {
  return [page](session::UpdateSession& run) {
    if (std::atomic<uint32_t>* flag = BackFlag(page, run)) flag->store(1);
    switch (page) {
      case kPagePrepare:
      case kPageOptions: return 1;
      case kPageConfirm:
      case kPageReady: return 2;
      default: return 0;
    }
  };
}

PageAction Choose(int optionResult) {
  return [optionResult](session::UpdateSession&) { return optionResult; };
}

PageAction Progress(FakeBootLink& link, int result, uint32_t flashState) {
  return [&link, result, flashState](session::UpdateSession&) {
    link.flashState = flashState;
    return result;
  };
}

int ScriptedPageHost::RunPage(int templateId) {
  log.push_back(templateId);
  if (onOpen) onOpen(templateId);
  auto found = script_.find(templateId);
  if (found == script_.end() || found->second.empty()) return Forward(templateId)(run_);
  PageAction action = std::move(found->second.front());
  found->second.pop_front();
  return action(run_);
}

void ScriptedPageHost::ShowWaitBox() {
  waitBoxOpen_ = true;
  log.push_back(kWaitBoxShown);
}

void ScriptedPageHost::CloseWaitBox() {
  if (!waitBoxOpen_) return;
  waitBoxOpen_ = false;
  log.push_back(kWaitBoxClosed);
}

std::vector<int> ScriptedPageHost::Pages() const {
  std::vector<int> pages;
  for (int entry : log) {
    if (entry != kWaitBoxShown && entry != kWaitBoxClosed) pages.push_back(entry);
  }
  return pages;
}

std::vector<int> ScriptedPageHost::Screens() const {
  std::vector<int> screens;
  for (int entry : log) {
    if (kErrorScreens.count(entry) != 0) screens.push_back(entry);
  }
  return screens;
}

bool ScriptedPageHost::ScriptUsedUp() const {
  for (const auto& [page, actions] : script_) {
    if (!actions.empty()) return false;
  }
  return true;
}

void ApplyIdentity(const Identity& identity, session::HandheldIdentity& handheld) {
  CopyText(handheld.deviceModel, identity.model);
  CopyText(handheld.deviceVariant, identity.variant);
  CopyText(handheld.deviceLangCode, identity.langCode);
  CopyText(handheld.deviceLanguage, identity.language);
  CopyText(handheld.deviceVersion, identity.version);
  handheld.flashSizeMB = identity.flashSizeMB;
}

session::FlashRecord FakeSettings::ReadFlashSettings() {
  ++reads;
  return session::FlashRecord{.pending = (flash & 0xFF) == 1 ? 1u : 0u, .imagePath = storedPath};
}

image::ImageOutcome FakeImages::ReadImageHeader(std::string_view path, session::ChosenImage& image) {
  headersRead.emplace_back(path);
  auto found = files.find(std::string(path));
  if (found == files.end()) return ImageOutcome::kNotFound;
  if (!found->second.readable) return ImageOutcome::kNotOpened;
  CopyText(image.imageModel, found->second.model);
  CopyText(image.imageVariant, found->second.variant);
  CopyText(image.imageLangCode, found->second.langCode);
  CopyText(image.imageVersion, found->second.version);
  return ImageOutcome::kOk;
}

image::ImageOutcome FakeImages::VerifyImageChecksum(const session::ChosenImage& image) {
  auto found = files.find(std::string(TextOf(image.imagePath)));
  if (found == files.end()) return ImageOutcome::kNotFound;
  if (!found->second.readable) return ImageOutcome::kNotOpened;
  return found->second.checksumOk ? ImageOutcome::kOk : ImageOutcome::kChecksumMismatch;
}

image::ImageOutcome FakeImages::CheckVariant(const session::ChosenImage& image,
                                             const session::HandheldIdentity& handheld) {
  return common::EqualsNoCase(TextOf(handheld.deviceVariant), TextOf(image.imageVariant))
             ? ImageOutcome::kOk
             : ImageOutcome::kVariantMismatch;
}

image::ImageOutcome FakeImages::CheckStoredImage(session::ChosenImage& image,
                                                 const session::HandheldIdentity& handheld) {
  if (TextOf(image.imagePath).empty()) return ImageOutcome::kNoStoredImage;
  if (const ImageOutcome read = ReadImageHeader(std::string(TextOf(image.imagePath)), image);
      read != ImageOutcome::kOk) {
    return read;
  }
  const bool modelsEqual = common::EqualsNoCase(TextOf(handheld.deviceModel), TextOf(image.imageModel));
  if (!modelsEqual) return ImageOutcome::kModelMismatch;
  return common::EqualsNoCase(TextOf(handheld.deviceLangCode), TextOf(image.imageLangCode))
             ? ImageOutcome::kOk
             : ImageOutcome::kLanguageMismatch;
}

image::ImageOutcome FakeImages::FindImageInProgramDir(const session::RunPaths&, session::ChosenImage& image) {
  ++finds;
  if (besideProgram.empty()) return ImageOutcome::kNoImage;
  CopyText(image.imagePath, besideProgram);
  CopyText(image.foundImagePath, besideProgram);
  return ImageOutcome::kOk;
}

image::ImageOutcome FakeImages::ChooseRestoreImage(session::ChosenImage& image) {
  common::ClearText(image.imagePath);
  if (chooserAnswers.empty()) return ImageOutcome::kCancelled;
  const std::string answer = chooserAnswers.front();
  chooserAnswers.pop_front();
  if (answer.empty()) return ImageOutcome::kCancelled;
  CopyText(image.imagePath, answer);
  return ImageOutcome::kOk;
}

std::optional<uint32_t> FakeImages::ImageFileSize(std::string_view path) {
  auto found = files.find(std::string(path));
  if (found == files.end() || !found->second.readable || !found->second.sizeKnown) return std::nullopt;
  return found->second.sizeBytes;
}

handheld::Identification FakeDevice::IdentifyDevice(std::string_view, session::HandheldIdentity& handheld) {
  ++identifications;
  handheld::Identification found;
  if (!identity) return found;
  ApplyIdentity(*identity, handheld);
  found.answered = true;
  found.imageSizeKB = identity->imageSizeKB;
  if (!common::EqualsNoCase(identity->model, "Quor 5210")) {
    if (namesInvalidModel) found.screen = kScreenInvalidModel;
    return found;
  }
  found.identified = true;
  return found;
}

uint32_t FakeDevice::CheckMainsPower() {
  if (powerAnswers.empty()) return kPowerGoOn;
  const uint32_t answer = powerAnswers.front();
  powerAnswers.pop_front();
  return answer;
}

uint32_t FakeBootLink::TestPorts() {
  ++portTests;
  return loaderAnswers ? 1 : 0;
}

bootlink::IdentityOutcome FakeBootLink::ReadDeviceIdentity(session::HandheldIdentity& identity) {
  ++identityReads;
  if (!loaderIdentity) {
    common::ClearText(identity.deviceModel);
    common::ClearText(identity.deviceVersion);
    common::ClearText(identity.deviceLangCode);
    return bootlink::IdentityOutcome::kFailed;
  }
  CopyText(identity.deviceModel, loaderIdentity->model);
  CopyText(identity.deviceVariant, loaderIdentity->variant);
  CopyText(identity.deviceLangCode, loaderIdentity->langCode);
  CopyText(identity.deviceVersion, loaderIdentity->version);
  identity.flashSizeMB = loaderIdentity->flashSizeMB;
  return bootlink::IdentityOutcome::kRead;
}

rapi::HRESULT FakeRemoteApi::CeRapiInitEx(rapi::RapiInitRecord& init) {
  ++inits;
  const rapi::HRESULT result = NoDeviceRemoteApi::CeRapiInitEx(init);
  if (linked && init.heRapiInit) init.heRapiInit->Set();
  return result;
}

}  // namespace corvash::driver::doubles
