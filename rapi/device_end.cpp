#include "rapi/device_end.h"

#include "common/device_errors.h"
#include "common/file_store_paths.h"
#include "common/utf16_text.h"
#include "rapi/device_library.h"
#include "rapi/device_process.h"

namespace corvash::rapi {
namespace {

constexpr int32_t kFalse = 0;
constexpr int32_t kTrue = 1;

// HRESULT of a device error, as the remote API reports a failed invocation.
int32_t FromDeviceError(uint32_t error) {
  return static_cast<int32_t>(0x80070000u | (error & 0xFFFFu));
}

wire::Answer Answer(int32_t result, uint32_t lastError) {
  wire::Answer answer;
  answer.result = result;
  answer.lastError = lastError;
  return answer;
}

// The host path of the library named by the desktop: a bare name lies in \Windows.
std::optional<std::filesystem::path> LibraryPath(const std::filesystem::path& storeRoot,
                                                 const std::u16string& name) {
  if (name.find_first_of(u"\\/") == std::u16string::npos) {
    return common::ResolveDevicePath(storeRoot, u"\\Windows\\" + name);
  }
  return common::ResolveDevicePath(storeRoot, std::u16string_view(name));
}

// The host path of a file of the store; nullopt for a refused path or the root.
std::optional<std::filesystem::path> FilePath(const std::filesystem::path& storeRoot, const std::u16string& name) {
  auto path = common::ResolveDevicePath(storeRoot, std::u16string_view(name));
  if (!path || *path == storeRoot) return std::nullopt;
  return path;
}

}  // namespace

wire::Answer DeviceSession::Refusal() {
  wire::Answer answer = Answer(E_FAIL, common::ERROR_INVALID_DATA);
  answer.kind = wire::kRefused;
  return answer;
}

wire::Answer DeviceSession::Handle(const wire::Request& request) {
  wire::Answer answer;
  switch (request.kind) {
    case wire::MessageKind::Hello:
      answer = Answer(S_OK, 0);
      answer.value = wire::kProtocolVersion;
      break;
    case wire::MessageKind::Invoke: answer = Done(Invoke(request)); break;
    case wire::MessageKind::CreateFile: answer = Done(CreateFile(request)); break;
    case wire::MessageKind::ReadFile: answer = Done(ReadFile(request)); break;
    case wire::MessageKind::WriteFile: answer = Done(WriteFile(request)); break;
    case wire::MessageKind::CloseHandle: answer = Done(CloseHandle(request)); break;
    case wire::MessageKind::DeleteFile: answer = Done(DeleteFile(request)); break;
    case wire::MessageKind::MoveFile: answer = Done(MoveFile(request)); break;
    case wire::MessageKind::CreateProcess: answer = Done(CreateProcess(request)); break;
    case wire::MessageKind::PowerStatus: answer = PowerStatus(); break;
    case wire::MessageKind::GetLastError:
      answer = Answer(static_cast<int32_t>(lastError_), lastError_);
      break;
  }
  answer.kind = static_cast<uint16_t>(static_cast<uint16_t>(request.kind) | wire::kAnswerBit);
  return answer;
}

wire::Answer DeviceSession::Done(wire::Answer answer) {
  lastError_ = answer.lastError;
  return answer;
}

wire::Answer DeviceSession::Invoke(const wire::Request& request) {
  const auto library = LibraryPath(config_.storeRoot, request.text);
  if (!library || !std::filesystem::is_regular_file(*library)) {
    return Answer(FromDeviceError(common::ERROR_MOD_NOT_FOUND), common::ERROR_MOD_NOT_FOUND);
  }
  InvokeOutcome outcome = InvokeInHelper(*library, common::FromUtf16(request.text2), request.data,
                                         config_.stateDir, config_.invokeLimitMs, wire::kMaxData);
  if (!outcome.called) return Answer(FromDeviceError(outcome.lastError), outcome.lastError);
  wire::Answer answer = Answer(outcome.status, 0);
  answer.data = std::move(outcome.output);
  return answer;
}

wire::Answer DeviceSession::CreateFile(const wire::Request& request) {
  const auto path = FilePath(config_.storeRoot, request.text);
  if (!path) {
    return Answer(static_cast<int32_t>(kInvalidHandle), common::ERROR_INVALID_NAME);
  }
  uint32_t error = 0;
  auto file = common::StoreFile::Open(config_.storeRoot, *path, request.access, request.share,
                                      request.disposition, &error);
  if (!file) return Answer(static_cast<int32_t>(kInvalidHandle), error);
  const uint32_t handle = nextHandle_;
  nextHandle_ += 4;
  if (nextHandle_ == kInvalidHandle || nextHandle_ < 0x100) nextHandle_ = 0x100;
  files_[handle] = std::move(file);
  return Answer(static_cast<int32_t>(handle), error);
}

wire::Answer DeviceSession::ReadFile(const wire::Request& request) {
  const auto file = files_.find(request.handle);
  if (file == files_.end()) return Answer(kFalse, common::ERROR_INVALID_HANDLE);
  wire::Answer answer = Answer(kTrue, 0);
  answer.data.resize(request.number);
  uint32_t done = 0;
  if (!file->second->Read(answer.data, &done, &answer.lastError)) answer.result = kFalse;
  answer.data.resize(done);
  answer.value = done;
  return answer;
}

wire::Answer DeviceSession::WriteFile(const wire::Request& request) {
  const auto file = files_.find(request.handle);
  if (file == files_.end()) return Answer(kFalse, common::ERROR_INVALID_HANDLE);
  wire::Answer answer = Answer(kTrue, 0);
  if (!file->second->Write(request.data, &answer.value, &answer.lastError)) answer.result = kFalse;
  return answer;
}

wire::Answer DeviceSession::CloseHandle(const wire::Request& request) {
  if (files_.erase(request.handle) == 0) return Answer(kFalse, common::ERROR_INVALID_HANDLE);
  return Answer(kTrue, 0);
}

wire::Answer DeviceSession::DeleteFile(const wire::Request& request) {
  const auto path = FilePath(config_.storeRoot, request.text);
  if (!path) return Answer(kFalse, common::ERROR_INVALID_NAME);
  uint32_t error = 0;
  if (!common::DeleteStoreFile(config_.storeRoot, *path, &error)) return Answer(kFalse, error);
  return Answer(kTrue, 0);
}

wire::Answer DeviceSession::MoveFile(const wire::Request& request) {
  const auto from = FilePath(config_.storeRoot, request.text);
  const auto to = FilePath(config_.storeRoot, request.text2);
  if (!from || !to) {
    return Answer(kFalse, common::ERROR_INVALID_NAME);
  }
  uint32_t error = 0;
  if (!common::MoveStoreFile(config_.storeRoot, *from, *to, &error)) return Answer(kFalse, error);
  return Answer(kTrue, 0);
}

wire::Answer DeviceSession::CreateProcess(const wire::Request& request) {
  const auto program = FilePath(config_.storeRoot, request.text);
  if (!program) return Answer(kFalse, common::ERROR_INVALID_NAME);
  uint32_t error = 0;
  if (!StartDeviceProgram(*program, config_.stateDir, &error)) return Answer(kFalse, error);
  return Answer(kTrue, 0);
}

wire::Answer DeviceSession::PowerStatus() {
  CePowerStatus status;
  if (config_.powerStatus) {
    status = config_.powerStatus();
  } else {
    status.ACLineStatus = 1;
  }
  wire::Answer answer = Answer(kTrue, 0);
  answer.data = wire::EncodePowerStatus(status);
  return answer;
}

}  // namespace corvash::rapi
