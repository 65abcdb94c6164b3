#pragma once
// Small steps the wizard driver shares between its parts: ending the run on
// an error screen, and starting and ending the remote-API session.
#include "desktop/app/driver/wizard_operations.h"
#include "desktop/handheld/remote_session.h"

namespace corvash::driver {

// True while the main window is open, i.e. the run goes on.
bool RunOpen(const session::WizardFlow& flow);

// Shows error screen `screenId` and closes the main window, unless the run
// is already over: only the first fault of a run is shown.
void EndWithScreen(const WizardContext& w, int screenId);

// Shows page or screen `templateId` of the run; its result.
int ShowPage(const WizardContext& w, int templateId);

// Starts the remote-API session with its start record; its connect event
// lands in the record.
void StartRemoteApi(handheld::RemoteSession& remote);
// Ends the remote-API session.
void EndRemoteApi(handheld::RemoteSession& remote);

// Waits up to 3000 ms for the start record's event. True when the link came up.
bool WaitForRemoteLink(const handheld::RemoteSession& remote);

}  // namespace corvash::driver
