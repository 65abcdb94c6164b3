#include "desktop/device/remote_session.h"

#include <cstdint>

#include "common/clock.h"
#include "desktop/session/update_session.h"
#include "rapi/remote_api.h"

namespace corvash::device {
namespace {

constexpr int kSessionAttempts = 5;
constexpr uint32_t kSessionRetryMs = 2000;

}  // namespace

bool StartRemoteSessionOnce() {
  session::RapiInit& init = session::Session().rapiInit;
  init.cbSize = 12;
  rapi::RapiInitRecord record;
  record.cbSize = init.cbSize;
  const rapi::HRESULT result = rapi::Api().CeRapiInitEx(record);
  init.heRapiInit = record.heRapiInit;
  init.hrRapiInit = record.hrRapiInit;
  return result == rapi::S_OK;
}

bool OpenRemoteSession() {
  for (int attempt = 1; attempt <= kSessionAttempts; ++attempt) {
    if (StartRemoteSessionOnce()) return true;
    if (attempt < kSessionAttempts) platform::SleepMs(kSessionRetryMs);
  }
  return false;
}

}  // namespace corvash::device
