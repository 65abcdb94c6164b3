#include "rapi/no_device_remote_api.h"

namespace corvash::rapi {

HRESULT NoDeviceRemoteApi::CeRapiInitEx(RapiInitRecord& init) {
  if (init.cbSize != 12) return E_UNEXPECTED;
  // The link never comes up: the event stays unsignalled.
  init.heRapiInit = std::make_shared<common::Event>(true, false);
  init.hrRapiInit = S_OK;
  return S_OK;
}

HRESULT NoDeviceRemoteApi::CeRapiUninit() { return S_OK; }

HRESULT NoDeviceRemoteApi::CeRapiInvoke(const std::u16string&, const std::u16string&, std::span<const uint8_t>,
                                        std::vector<uint8_t>& output) {
  output.clear();
  return E_FAIL;
}

uint32_t NoDeviceRemoteApi::CeGetLastError() { return ERROR_NOT_CONNECTED; }

HRESULT NoDeviceRemoteApi::CeRapiGetError() { return E_FAIL; }

CeHandle NoDeviceRemoteApi::CeCreateFile(const std::u16string&, uint32_t, uint32_t, uint32_t, uint32_t) {
  return kInvalidHandle;
}

int32_t NoDeviceRemoteApi::CeWriteFile(CeHandle, std::span<const uint8_t>, uint32_t& done) {
  done = 0;
  return 0;
}

int32_t NoDeviceRemoteApi::CeReadFile(CeHandle, std::span<uint8_t>, uint32_t& done) {
  done = 0;
  return 0;
}

int32_t NoDeviceRemoteApi::CeCloseHandle(CeHandle) { return 0; }
int32_t NoDeviceRemoteApi::CeDeleteFile(const std::u16string&) { return 0; }
int32_t NoDeviceRemoteApi::CeMoveFile(const std::u16string&, const std::u16string&) { return 0; }
int32_t NoDeviceRemoteApi::CeCreateProcess(const std::u16string&) { return 0; }
int32_t NoDeviceRemoteApi::CeGetSystemPowerStatusEx(CePowerStatus&, int32_t) { return 0; }

}  // namespace corvash::rapi
