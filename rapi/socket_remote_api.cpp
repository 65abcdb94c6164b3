#include "rapi/socket_remote_api.h"

#include <unistd.h>

#include <algorithm>

#include "common/local_socket.h"
#include "rapi/message_stream.h"

namespace corvash::rapi {
namespace {

// Time limits of one exchange. An invocation may run as long as the device
// end lets a library run (it kills it after 120000 ms) and a little more.
constexpr uint32_t kConnectWaitMs = 2000;
constexpr uint32_t kHelloWaitMs = 5000;
constexpr uint32_t kCallWaitMs = 30000;
constexpr uint32_t kInvokeWaitMs = 150000;
// Pause between connection attempts while a start waits for the link.
constexpr uint32_t kConnectRetryMs = 250;
constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x80070000u | ERROR_NOT_CONNECTED);

}  // namespace

SocketRemoteApi::SocketRemoteApi(std::filesystem::path socketPath) : socketPath_(std::move(socketPath)) {}

SocketRemoteApi::~SocketRemoteApi() {
  {
    std::lock_guard lock(mutex_);
    sessions_ = 0;
    waiting_.clear();
    DisconnectLocked();
  }
  StopConnector();
}

bool SocketRemoteApi::ConnectLocked() {
  // A listener that takes no connection in time counts as no handheld.
  const int fd = common::ConnectLocal(socketPath_, kConnectWaitMs);
  if (fd < 0) return false;
  // The link counts as up once the handheld answers.
  wire::Request hello;
  hello.kind = wire::MessageKind::Hello;
  hello.number = wire::kProtocolVersion;
  wire::RawMessage message;
  if (!wire::WriteAll(fd, wire::EncodeRequest(hello), kHelloWaitMs) ||
      wire::ReadMessage(fd, &message, kHelloWaitMs, kHelloWaitMs) != wire::ReadStatus::Ok ||
      message.header.kind != (static_cast<uint16_t>(wire::MessageKind::Hello) | wire::kAnswerBit)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  for (auto& event : waiting_) event->Set();
  waiting_.clear();
  return true;
}

void SocketRemoteApi::DisconnectLocked() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

HRESULT SocketRemoteApi::CeRapiInitEx(RapiInitRecord& init) {
  if (init.cbSize != 12) return E_UNEXPECTED;
  auto event = std::make_shared<common::Event>(true, false);
  init.heRapiInit = event;
  init.hrRapiInit = S_OK;
  std::lock_guard connector(connectorMutex_);
  bool startConnector = false;
  {
    std::lock_guard lock(mutex_);
    ++sessions_;
    if (fd_ >= 0 || ConnectLocked()) {
      event->Set();
    } else {
      waiting_.push_back(event);
      startConnector = !connectorActive_;
      connectorActive_ = true;
    }
  }
  if (startConnector) {
    // A connector that has left its loop needs no mutex_ to end.
    if (connector_.joinable()) connector_.join();
    stopConnector_ = std::make_shared<common::Event>(true, false);
    connector_ = std::thread([this, stop = stopConnector_] { KeepConnecting(stop); });
  }
  return S_OK;
}

void SocketRemoteApi::KeepConnecting(std::shared_ptr<common::Event> stop) {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (sessions_ == 0 || fd_ >= 0 || ConnectLocked()) {
        connectorActive_ = false;
        return;
      }
    }
    if (stop->Wait(kConnectRetryMs)) {
      std::lock_guard lock(mutex_);
      connectorActive_ = false;
      return;
    }
  }
}

void SocketRemoteApi::StopConnector() {
  std::lock_guard connector(connectorMutex_);
  if (stopConnector_) stopConnector_->Set();
  if (connector_.joinable()) connector_.join();
}

HRESULT SocketRemoteApi::CeRapiUninit() {
  bool last = false;
  {
    std::lock_guard lock(mutex_);
    if (sessions_ > 0) --sessions_;
    last = sessions_ == 0;
    if (last) {
      waiting_.clear();
      DisconnectLocked();
    }
  }
  if (last) StopConnector();
  return S_OK;
}

std::optional<wire::Answer> SocketRemoteApi::Exchange(const wire::Request& request, uint32_t waitMs) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) {
    lastError_ = ERROR_NOT_CONNECTED;
    rapiError_ = kNotConnected;
    return std::nullopt;
  }
  wire::RawMessage message;
  std::optional<wire::Answer> answer;
  if (wire::WriteAll(fd_, wire::EncodeRequest(request), waitMs) &&
      wire::ReadMessage(fd_, &message, waitMs, waitMs) == wire::ReadStatus::Ok) {
    answer = wire::DecodeAnswer(message.header.kind, message.payload);
  }
  const uint16_t expected = static_cast<uint16_t>(request.kind) | wire::kAnswerBit;
  if (answer && answer->kind == wire::kRefused) {
    // The handheld could not read the request; the link itself is fine.
    lastError_ = answer->lastError;
    rapiError_ = E_FAIL;
    return std::nullopt;
  }
  if (!answer || answer->kind != expected) {
    // Out of step with the handheld or cut off: nothing more can be trusted.
    DisconnectLocked();
    lastError_ = ERROR_NOT_CONNECTED;
    rapiError_ = kNotConnected;
    return std::nullopt;
  }
  lastError_ = answer->lastError;
  rapiError_ = S_OK;
  return answer;
}

HRESULT SocketRemoteApi::CeRapiInvoke(const std::u16string& dll, const std::u16string& function,
                                      std::span<const uint8_t> input, std::vector<uint8_t>& output) {
  output.clear();
  if (input.size() > wire::kMaxData) {
    lastError_ = 87;  // invalid parameter
    return E_FAIL;
  }
  wire::Request request;
  request.kind = wire::MessageKind::Invoke;
  request.text = dll;
  request.text2 = function;
  request.data.assign(input.begin(), input.end());
  auto answer = Exchange(request, kInvokeWaitMs);
  if (!answer) return E_FAIL;
  output = std::move(answer->data);
  return answer->result;
}

uint32_t SocketRemoteApi::CeGetLastError() {
  wire::Request request;
  request.kind = wire::MessageKind::GetLastError;
  const uint32_t known = lastError_;
  const auto answer = Exchange(request, kCallWaitMs);
  if (!answer) return lastError_;
  lastError_ = known;
  return static_cast<uint32_t>(answer->result);
}

HRESULT SocketRemoteApi::CeRapiGetError() { return rapiError_; }

CeHandle SocketRemoteApi::CeCreateFile(const std::u16string& path, uint32_t access, uint32_t share,
                                       uint32_t disposition, uint32_t attributes) {
  wire::Request request;
  request.kind = wire::MessageKind::CreateFile;
  request.text = path;
  request.access = access;
  request.share = share;
  request.disposition = disposition;
  request.attributes = attributes;
  const auto answer = Exchange(request, kCallWaitMs);
  return answer ? static_cast<CeHandle>(answer->result) : kInvalidHandle;
}

int32_t SocketRemoteApi::CeWriteFile(CeHandle file, std::span<const uint8_t> data, uint32_t& done) {
  done = 0;
  // Larger writes cross in pieces of the wire's largest data.
  do {
    const auto piece = data.first(std::min<size_t>(data.size(), wire::kMaxData));
    wire::Request request;
    request.kind = wire::MessageKind::WriteFile;
    request.handle = file;
    request.data.assign(piece.begin(), piece.end());
    const auto answer = Exchange(request, kCallWaitMs);
    if (!answer) return 0;
    done += std::min<uint32_t>(answer->value, static_cast<uint32_t>(piece.size()));
    if (answer->result == 0) return 0;
    data = data.subspan(piece.size());
  } while (!data.empty());
  return 1;
}

int32_t SocketRemoteApi::CeReadFile(CeHandle file, std::span<uint8_t> buffer, uint32_t& done) {
  done = 0;
  do {
    const auto want = static_cast<uint32_t>(std::min<size_t>(buffer.size() - done, wire::kMaxData));
    wire::Request request;
    request.kind = wire::MessageKind::ReadFile;
    request.handle = file;
    request.number = want;
    const auto answer = Exchange(request, kCallWaitMs);
    if (!answer) return 0;
    // Never more than asked for, whatever the answer holds.
    const size_t got = std::min<size_t>(answer->data.size(), want);
    std::copy_n(answer->data.begin(), got, buffer.begin() + done);
    done += static_cast<uint32_t>(got);
    if (answer->result == 0) return 0;
    if (got < want) break;  // end of file
  } while (done < buffer.size());
  return 1;
}

int32_t SocketRemoteApi::CeCloseHandle(CeHandle file) {
  wire::Request request;
  request.kind = wire::MessageKind::CloseHandle;
  request.handle = file;
  const auto answer = Exchange(request, kCallWaitMs);
  return answer ? answer->result : 0;
}

int32_t SocketRemoteApi::CeDeleteFile(const std::u16string& path) {
  wire::Request request;
  request.kind = wire::MessageKind::DeleteFile;
  request.text = path;
  const auto answer = Exchange(request, kCallWaitMs);
  return answer ? answer->result : 0;
}

int32_t SocketRemoteApi::CeMoveFile(const std::u16string& from, const std::u16string& to) {
  wire::Request request;
  request.kind = wire::MessageKind::MoveFile;
  request.text = from;
  request.text2 = to;
  const auto answer = Exchange(request, kCallWaitMs);
  return answer ? answer->result : 0;
}

int32_t SocketRemoteApi::CeCreateProcess(const std::u16string& path) {
  wire::Request request;
  request.kind = wire::MessageKind::CreateProcess;
  request.text = path;
  const auto answer = Exchange(request, kCallWaitMs);
  return answer ? answer->result : 0;
}

int32_t SocketRemoteApi::CeGetSystemPowerStatusEx(CePowerStatus& status, int32_t update) {
  wire::Request request;
  request.kind = wire::MessageKind::PowerStatus;
  request.number = static_cast<uint32_t>(update);
  const auto answer = Exchange(request, kCallWaitMs);
  if (!answer) return 0;
  const auto decoded = wire::DecodePowerStatus(answer->data);
  if (!decoded) return 0;
  status = *decoded;
  return answer->result;
}

}  // namespace corvash::rapi
