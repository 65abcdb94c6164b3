#pragma once
// The remote-API session of one run: the remote API it goes through and the
// start record (size field 12) that every start hands to CeRapiInitEx, whose
// connect event the wizard waits on. A start that fails is tried again after
// 2000 ms, five attempts in all, when a device operation opens a session.
// One thread at a time starts or ends it (the wizard thread, or a page's
// thread while the wizard thread waits); the remote API itself takes calls
// from any thread.
#include <memory>
#include <mutex>

#include "common/event.h"
#include "rapi/remote_api.h"

namespace corvash::handheld {

class RemoteSession {
 public:
  explicit RemoteSession(rapi::RemoteApi& api) : api_(api) {}
  RemoteSession(const RemoteSession&) = delete;
  RemoteSession& operator=(const RemoteSession&) = delete;

  rapi::RemoteApi& Api() const { return api_; }

  // A single start: true when it was accepted. Its connect event and outcome
  // land in the start record.
  bool StartOnce();
  // Up to five starts, 2000 ms apart (blocks up to about 10 s): true when a
  // session is open.
  bool Open();
  // Ends the session; harmless when none is open.
  void End();

  // The connect event of the last start; null when it gave none.
  std::shared_ptr<common::Event> ConnectEvent() const;

 private:
  rapi::RemoteApi& api_;
  mutable std::mutex mutex_;
  rapi::RapiInitRecord init_;
};

}  // namespace corvash::handheld
