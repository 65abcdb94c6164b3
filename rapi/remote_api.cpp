#include "rapi/remote_api.h"

#include <atomic>

#include "rapi/no_device_remote_api.h"

namespace corvash::rapi {
namespace {

RemoteApi& NoDevice() {
  static NoDeviceRemoteApi api;
  return api;
}

std::atomic<RemoteApi*> g_api{nullptr};

}  // namespace

RemoteApi& Api() {
  RemoteApi* api = g_api.load();
  return api != nullptr ? *api : NoDevice();
}

RemoteApi* InstallRemoteApi(RemoteApi* api) {
  RemoteApi* previous = g_api.exchange(api);
  return previous != nullptr ? previous : &NoDevice();
}

}  // namespace corvash::rapi
