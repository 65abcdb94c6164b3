#include "desktop/handheld/remote_session.h"

#include <cstdint>

#include "common/clock.h"

namespace corvash::handheld {
namespace {

constexpr int kSessionAttempts = 5;
constexpr uint32_t kSessionRetryMs = 2000;
constexpr uint32_t kRecordSize = 12;

}  // namespace

bool RemoteSession::StartOnce() {
  rapi::RapiInitRecord record;
  record.cbSize = kRecordSize;
  const rapi::HRESULT result = api_.CeRapiInitEx(record);
  std::lock_guard lock(mutex_);
  init_.cbSize = kRecordSize;
  init_.heRapiInit = record.heRapiInit;
  init_.hrRapiInit = record.hrRapiInit;
  return result == rapi::S_OK;
}

bool RemoteSession::Open() {
  for (int attempt = 1; attempt <= kSessionAttempts; ++attempt) {
    if (StartOnce()) return true;
    if (attempt < kSessionAttempts) common::SleepMs(kSessionRetryMs);
  }
  return false;
}

void RemoteSession::End() { api_.CeRapiUninit(); }

std::shared_ptr<common::Event> RemoteSession::ConnectEvent() const {
  std::lock_guard lock(mutex_);
  return init_.heRapiInit;
}

}  // namespace corvash::handheld
