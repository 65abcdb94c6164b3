#pragma once
// The desktop's remote API over the sync link's socket (PREFIX/rapi.sock,
// served by the handheld while it runs its system).
//
// Sessions are counted: every CeRapiInitEx opens one, every CeRapiUninit
// closes one, and the connection closes with the last. A start connects at
// once when the socket answers and signals the record's event; otherwise it
// still returns S_OK and keeps trying in the background until the link comes
// up (the event is signalled then) or the session is closed.
//
// A connection attempt is bounded too: a socket whose listener never takes
// the connection (its backlog full) or never answers the hello counts as no
// link, and the attempt is given up in a few seconds.
//
// Thread-safe: one request at a time crosses the connection, under a lock.
// Every exchange has a time limit (scaled clock); a connection that breaks
// or times out is closed, and every call then fails at once (negative
// HRESULT, 0 or kInvalidHandle, last error ERROR_NOT_CONNECTED) until a new
// start connects again.
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "rapi/remote_api.h"
#include "rapi/remote_wire.h"

namespace corvash::rapi {

class SocketRemoteApi : public RemoteApi {
 public:
  explicit SocketRemoteApi(std::filesystem::path socketPath);
  ~SocketRemoteApi() override;
  SocketRemoteApi(const SocketRemoteApi&) = delete;
  SocketRemoteApi& operator=(const SocketRemoteApi&) = delete;

  HRESULT CeRapiInitEx(RapiInitRecord& init) override;
  HRESULT CeRapiUninit() override;
  HRESULT CeRapiInvoke(const std::u16string& dll, const std::u16string& function,
                       std::span<const uint8_t> input, std::vector<uint8_t>& output) override;
  uint32_t CeGetLastError() override;
  // S_OK after a call that reached the device; a negative HRESULT after one
  // that could not (no link, a broken or refused exchange).
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

 private:
  // Sends `request` and returns its answer; nullopt (and the connection
  // closed) when there is no link or the exchange fails or is refused.
  std::optional<wire::Answer> Exchange(const wire::Request& request, uint32_t waitMs);
  bool ConnectLocked();     // mutex_ held
  void DisconnectLocked();  // mutex_ held
  void KeepConnecting(std::shared_ptr<common::Event> stop);
  void StopConnector();

  const std::filesystem::path socketPath_;
  std::mutex mutex_;
  int fd_ = -1;
  int sessions_ = 0;
  std::vector<std::shared_ptr<common::Event>> waiting_;  // start events to signal on connect
  bool connectorActive_ = false;  // mutex_ held; a connector is in its loop
  std::mutex connectorMutex_;      // guards connector_ and stopConnector_
  std::thread connector_;
  std::shared_ptr<common::Event> stopConnector_;
  std::atomic<uint32_t> lastError_{0};
  std::atomic<HRESULT> rapiError_{S_OK};
};

}  // namespace corvash::rapi
