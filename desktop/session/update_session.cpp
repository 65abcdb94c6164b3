#include "desktop/session/update_session.h"

#include "desktop/platform/serial_port.h"

namespace corvash::session {

using platform::ClearText;
using platform::CopyText;
using platform::TextOf;

void ResetFlow(WizardFlow& flow) {
  for (auto* flag : {&flow.mainWindow, &flow.cancelled, &flow.backFromPrepare, &flow.backFromConnect,
                     &flow.backFromOptions, &flow.backFromConfirm, &flow.backFromReady,
                     &flow.backFromBootInstructions, &flow.pendingFlash, &flow.recoveryMode, &flow.modelMismatch,
                     &flow.versionMismatch, &flow.languageMismatch, &flow.flashState, &flow.recoveryFlash}) {
    flag->store(0);
  }
  flow.backAllowed = 1;
}

UpdateSession::UpdateSession() { Reset(); }

void UpdateSession::Reset() {
  waitDialog = 0;
  paths = RunPaths{};
  image = ChosenImage{};
  handheld = HandheldIdentity{};
  ResetFlow(flow);
  serialLink = 1;
  for (auto* flag : {&linkClosed, &commandSessionOpen, &readerRunning}) flag->store(0);
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
