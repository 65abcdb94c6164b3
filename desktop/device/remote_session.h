#pragma once
// Starting a remote-API session for one device operation: the shared start
// record (size field 12) is handed to CeRapiInitEx; a start that fails is
// tried again after 2000 ms, five attempts in all. Blocks its caller up to
// about 10 s; wizard thread only (the record is the session's).
namespace corvash::device {

// True when a session is open.
bool OpenRemoteSession();
// A single start, as identification makes it: true when it was accepted.
bool StartRemoteSessionOnce();

}  // namespace corvash::device
