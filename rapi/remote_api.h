#pragma once
// The remote API through which the desktop reaches a handheld that runs its
// own system and is linked by the desktop sync software: session start and
// end, library invocation, device files, process start and the power status.
// Texts that cross to the device (library, function and path names) are
// UTF-16. The calls keep the results the desktop relies on: HRESULT-style
// results are negative on failure; BOOL-style results are nonzero when done.
//
// The program builds one implementation (over the prefix's sync socket) and
// hands it to those that reach the handheld; a NoDeviceRemoteApi answers as
// when no handheld is linked. Implementations must accept calls from any
// thread (the power watch queries while the wizard thread makes other calls).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/device_errors.h"
#include "common/event.h"
#include "common/file_access.h"

namespace corvash::rapi {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);

// A device file handle; kInvalidHandle when a create fails.
using CeHandle = uint32_t;
inline constexpr CeHandle kInvalidHandle = 0xFFFFFFFFu;

// Values for CeCreateFile (common/file_access.h).
using common::CREATE_ALWAYS;
using common::CREATE_NEW;
using common::FILE_ATTRIBUTE_NORMAL;
using common::FILE_SHARE_READ;
using common::FILE_SHARE_WRITE;
using common::GENERIC_READ;
using common::GENERIC_WRITE;
using common::OPEN_ALWAYS;
using common::OPEN_EXISTING;

// Error codes that callers interpret (common/device_errors.h).
using common::ERROR_ALREADY_EXISTS;
using common::ERROR_FILE_NOT_FOUND;
using common::ERROR_NOT_CONNECTED;

// Start record: the size field is always 12. The start call puts its connect
// event into heRapiInit; the event is signalled once the link to the device
// is up. hrRapiInit carries the outcome of the connection attempt.
struct RapiInitRecord {
  uint32_t cbSize = 12;
  std::shared_ptr<common::Event> heRapiInit;
  HRESULT hrRapiInit = S_OK;
};

// The extended power status of the device. ACLineStatus 1 means mains power
// is present; 0 offline, 255 unknown.
struct CePowerStatus {
  uint8_t ACLineStatus = 255;
  uint8_t BatteryFlag = 255;
  uint8_t BatteryLifePercent = 255;
  uint8_t Reserved1 = 0;
  uint32_t BatteryLifeTime = 0xFFFFFFFFu;
  uint32_t BatteryFullLifeTime = 0xFFFFFFFFu;
  uint8_t Reserved2 = 0;
  uint8_t BackupBatteryFlag = 255;
  uint8_t BackupBatteryLifePercent = 255;
  uint8_t Reserved3 = 0;
  uint32_t BackupBatteryLifeTime = 0xFFFFFFFFu;
  uint32_t BackupBatteryFullLifeTime = 0xFFFFFFFFu;
};

class RemoteApi {
 public:
  virtual ~RemoteApi() = default;

  // Starts a session. Returns S_OK when the start is under way; the record's
  // event (created here) is signalled once the link is up, which may be never.
  // A record whose size field is not 12 fails with E_UNEXPECTED, no event.
  virtual HRESULT CeRapiInitEx(RapiInitRecord& init) = 0;
  // Ends the session; harmless when none is open.
  virtual HRESULT CeRapiUninit() = 0;

  // Calls `function` exported by the device library `dll` with `input`.
  // Negative on failure; otherwise the device function's 32-bit status. The
  // function's output bytes go to `output` (cleared first), which the caller
  // owns.
  virtual HRESULT CeRapiInvoke(const std::u16string& dll, const std::u16string& function,
                               std::span<const uint8_t> input, std::vector<uint8_t>& output) = 0;
  // The device's last error after a failed call.
  virtual uint32_t CeGetLastError() = 0;
  // The remote-API layer's own error code (ERROR_ALREADY_EXISTS: the file
  // already exists).
  virtual HRESULT CeRapiGetError() = 0;

  // Device files. CeCreateFile gives kInvalidHandle on failure.
  virtual CeHandle CeCreateFile(const std::u16string& path, uint32_t access, uint32_t share,
                                uint32_t disposition, uint32_t attributes) = 0;
  // Nonzero when done; `done` holds the bytes written or read (0 on failure).
  virtual int32_t CeWriteFile(CeHandle file, std::span<const uint8_t> data, uint32_t& done) = 0;
  virtual int32_t CeReadFile(CeHandle file, std::span<uint8_t> buffer, uint32_t& done) = 0;
  virtual int32_t CeCloseHandle(CeHandle file) = 0;
  virtual int32_t CeDeleteFile(const std::u16string& path) = 0;
  virtual int32_t CeMoveFile(const std::u16string& from, const std::u16string& to) = 0;

  // Starts the device program at `path` without arguments. Nonzero when started.
  virtual int32_t CeCreateProcess(const std::u16string& path) = 0;

  // Fills `status`; fresh values when `update` is 1. Nonzero when answered.
  virtual int32_t CeGetSystemPowerStatusEx(CePowerStatus& status, int32_t update) = 0;
};

}  // namespace corvash::rapi
