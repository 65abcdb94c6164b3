#include "desktop/session/update_session.h"

#include "desktop/platform/serial_port.h"

namespace corvash::session {

using platform::ClearText;
using platform::CopyText;
using platform::TextOf;

UpdateSession::UpdateSession() { Reset(); }

void UpdateSession::Reset() {
  mainWindow = 0;
  waitDialog = 0;
  rapiInit = RapiInit{};
  for (char* path : {programDir, windowsDir, markerPath, imagePath, foundImagePath, backupPath}) {
    std::memset(path, 0, kPathCapacity);
  }
  ClearText(imageModel);
  ClearText(imageVariant);
  ClearText(imageLangCode);
  ClearText(imageLanguage);
  ClearText(imageVersion);
  ClearText(imageChecksumText);
  imageSizeKB = 0;
  ClearText(deviceModel);
  ClearText(deviceVariant);
  ClearText(deviceLangCode);
  ClearText(deviceLanguage);
  ClearText(deviceVersion);
  flashSizeMB = 0;
  ClearText(identityText);
  serialLink = 1;
  for (auto* flag : {&cancelled, &backFromPrepare, &backFromConnect, &backFromOptions, &backFromConfirm,
                     &backFromReady, &backFromBootInstructions, &pendingFlash, &recoveryMode,
                     &modelMismatch, &versionMismatch, &languageMismatch, &flashState, &recoveryFlash, &linkClosed,
                     &commandSessionOpen, &readerRunning}) {
    flag->store(0);
  }
  backAllowed = 1;
  linkHandle.store(nullptr);
  ClearText(rxLine);
  progressPage = nullptr;
  imageFileHandle = -1;
  std::lock_guard lock(replyMutex_);
  ClearText(frameReply_);
  ClearText(portTestReply_);
}

void UpdateSession::SetFrameReply(std::string_view text) {
  std::lock_guard lock(replyMutex_);
  CopyText(frameReply_, text);
}

std::string UpdateSession::FrameReply() const {
  std::lock_guard lock(replyMutex_);
  return std::string(TextOf(frameReply_));
}

void UpdateSession::SetPortTestReply(std::string_view text) {
  std::lock_guard lock(replyMutex_);
  CopyText(portTestReply_, text);
}

std::string UpdateSession::PortTestReply() const {
  std::lock_guard lock(replyMutex_);
  return std::string(TextOf(portTestReply_));
}

UpdateSession& Session() {
  static UpdateSession session;
  return session;
}

}  // namespace corvash::session
