#pragma once
// The remote API of a desktop with no handheld linked (no sync link socket):
// a session start is accepted but its connect event is never signalled, and
// every call that would reach the device fails.
#include "rapi/remote_api.h"

namespace corvash::rapi {

class NoDeviceRemoteApi : public RemoteApi {
 public:
  HRESULT CeRapiInitEx(RapiInitRecord& init) override;
  HRESULT CeRapiUninit() override;
  HRESULT CeRapiInvoke(const std::u16string& dll, const std::u16string& function,
                       std::span<const uint8_t> input, std::vector<uint8_t>& output) override;
  uint32_t CeGetLastError() override;
  HRESULT CeRapiGetError() override;
  CeHandle CeCreateFile(const std::u16string& path, uint32_t access, uint32_t share, uint32_t disposition,
                        uint32_t attributes) override;
  int32_t CeWriteFile(CeHandle file, std::span<const uint8_t> data, uint32_t& done) override;
  int32_t CeReadFile(CeHandle file, std::span<uint8_t> buffer, uint32_t& done) override;
  int32_t CeCloseHandle(CeHandle file) override;
  int32_t CeDeleteFile(const std::u16string& path) override;
  int32_t CeMoveFile(const std::u16string& from, const std::u16string& to) override;
  int32_t CeCreateProcess(const std::u16string& path) override;
  int32_t CeGetSystemPowerStatusEx(CePowerStatus& status, int32_t update) override;
};

}  // namespace corvash::rapi
