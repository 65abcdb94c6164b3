#include "desktop/session/update_session.h"


namespace corvash::session {

using common::ClearText;
using common::CopyText;
using common::TextOf;

void ResetFlow(WizardFlow& flow) {
  for (auto* flag : {&flow.mainWindow, &flow.cancelled, &flow.backFromPrepare, &flow.backFromConnect,
                     &flow.backFromOptions, &flow.backFromConfirm, &flow.backFromReady,
                     &flow.backFromBootInstructions, &flow.pendingFlash, &flow.recoveryMode, &flow.modelMismatch,
                     &flow.versionMismatch, &flow.languageMismatch, &flow.recoveryFlash, &flow.waitDialog}) {
    flag->store(0);
  }
  flow.backAllowed = 1;
}

UpdateSession::UpdateSession() { Reset(); }

void UpdateSession::Reset() {
  paths = RunPaths{};
  image = ChosenImage{};
  handheld = HandheldIdentity{};
  ResetFlow(flow);
  serialLink = 1;
}

}  // namespace corvash::session
