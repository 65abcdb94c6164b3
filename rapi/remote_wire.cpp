#include "rapi/remote_wire.h"

#include "common/little_endian.h"

namespace corvash::rapi::wire {

using common::GetLE16;
using common::GetLE32;
using common::PutLE16;
using common::PutLE32;

namespace {

constexpr uint32_t kMaxTextUnits = 1024;

class Writer {
 public:
  void U32(uint32_t value) {
    uint8_t field[4];
    PutLE32(value, field);
    bytes_.insert(bytes_.end(), field, field + 4);
  }
  void Bytes(std::span<const uint8_t> data) {
    U32(static_cast<uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }
  void Text(const std::u16string& text) {
    U32(static_cast<uint32_t>(text.size()));
    for (char16_t unit : text) {
      uint8_t field[2];
      PutLE16(unit, field);
      bytes_.insert(bytes_.end(), field, field + 2);
    }
  }
  std::vector<uint8_t> Message(uint16_t kind) && {
    const auto header = EncodeHeader({static_cast<uint32_t>(bytes_.size()), kind});
    bytes_.insert(bytes_.begin(), header.begin(), header.end());
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool U32(uint32_t* value) {
    if (bytes_.size() < 4) return Fail();
    *value = GetLE32(bytes_.data());
    bytes_ = bytes_.subspan(4);
    return true;
  }
  bool I32(int32_t* value) {
    uint32_t raw = 0;
    if (!U32(&raw)) return false;
    *value = static_cast<int32_t>(raw);
    return true;
  }
  bool Bytes(std::vector<uint8_t>* data, uint32_t limit) {
    uint32_t size = 0;
    if (!U32(&size) || size > limit || size > bytes_.size()) return Fail();
    data->assign(bytes_.begin(), bytes_.begin() + size);
    bytes_ = bytes_.subspan(size);
    return true;
  }
  bool Text(std::u16string* text) {
    uint32_t units = 0;
    if (!U32(&units) || units > kMaxTextUnits || units * 2ull > bytes_.size()) return Fail();
    text->resize(units);
    for (uint32_t i = 0; i < units; ++i) {
      (*text)[i] = static_cast<char16_t>(bytes_[2 * i] | bytes_[2 * i + 1] << 8);
    }
    bytes_ = bytes_.subspan(units * 2ull);
    return true;
  }
  // True when everything was read and nothing is left over.
  bool Done() const { return ok_ && bytes_.empty(); }

 private:
  bool Fail() {
    ok_ = false;
    return false;
  }
  std::span<const uint8_t> bytes_;
  bool ok_ = true;
};

}  // namespace

std::array<uint8_t, kHeaderSize> EncodeHeader(const Header& header) {
  std::array<uint8_t, kHeaderSize> bytes{};
  PutLE32(header.length, bytes.data());
  PutLE16(header.kind, bytes.data() + 4);
  return bytes;
}

std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  Header header;
  header.length = GetLE32(bytes.data());
  header.kind = GetLE16(bytes.data() + 4);
  return header;
}

bool IsRequestKind(uint16_t kind) {
  return kind >= static_cast<uint16_t>(MessageKind::Hello) && kind <= static_cast<uint16_t>(MessageKind::GetLastError);
}

std::vector<uint8_t> EncodeRequest(const Request& request) {
  Writer out;
  switch (request.kind) {
    case MessageKind::Hello:
    case MessageKind::PowerStatus: out.U32(request.number); break;
    case MessageKind::Invoke:
      out.Text(request.text);
      out.Text(request.text2);
      out.Bytes(request.data);
      break;
    case MessageKind::CreateFile:
      out.Text(request.text);
      out.U32(request.access);
      out.U32(request.share);
      out.U32(request.disposition);
      out.U32(request.attributes);
      break;
    case MessageKind::ReadFile:
      out.U32(request.handle);
      out.U32(request.number);
      break;
    case MessageKind::WriteFile:
      out.U32(request.handle);
      out.Bytes(request.data);
      break;
    case MessageKind::CloseHandle: out.U32(request.handle); break;
    case MessageKind::DeleteFile:
    case MessageKind::CreateProcess: out.Text(request.text); break;
    case MessageKind::MoveFile:
      out.Text(request.text);
      out.Text(request.text2);
      break;
    case MessageKind::GetLastError: break;
  }
  return std::move(out).Message(static_cast<uint16_t>(request.kind));
}

std::optional<Request> DecodeRequest(uint16_t kind, std::span<const uint8_t> payload) {
  if (!IsRequestKind(kind) || payload.size() > kMaxPayload) return std::nullopt;
  Request request;
  request.kind = static_cast<MessageKind>(kind);
  Reader in(payload);
  switch (request.kind) {
    case MessageKind::Hello:
    case MessageKind::PowerStatus: in.U32(&request.number); break;
    case MessageKind::Invoke:
      in.Text(&request.text) && in.Text(&request.text2) && in.Bytes(&request.data, kMaxData);
      break;
    case MessageKind::CreateFile:
      in.Text(&request.text) && in.U32(&request.access) && in.U32(&request.share) &&
          in.U32(&request.disposition) && in.U32(&request.attributes);
      break;
    case MessageKind::ReadFile: in.U32(&request.handle) && in.U32(&request.number); break;
    case MessageKind::WriteFile: in.U32(&request.handle) && in.Bytes(&request.data, kMaxData); break;
    case MessageKind::CloseHandle: in.U32(&request.handle); break;
    case MessageKind::DeleteFile:
    case MessageKind::CreateProcess: in.Text(&request.text); break;
    case MessageKind::MoveFile: in.Text(&request.text) && in.Text(&request.text2); break;
    case MessageKind::GetLastError: break;
  }
  if (!in.Done()) return std::nullopt;
  if (request.kind == MessageKind::ReadFile && request.number > kMaxData) return std::nullopt;
  return request;
}

std::vector<uint8_t> EncodeAnswer(const Answer& answer) {
  Writer out;
  out.U32(static_cast<uint32_t>(answer.result));
  out.U32(answer.lastError);
  out.U32(answer.value);
  out.Bytes(answer.data);
  return std::move(out).Message(answer.kind);
}

std::optional<Answer> DecodeAnswer(uint16_t kind, std::span<const uint8_t> payload) {
  if (payload.size() > kMaxPayload) return std::nullopt;
  if (kind != kRefused && ((kind & kAnswerBit) == 0 || !IsRequestKind(kind & ~kAnswerBit))) return std::nullopt;
  Answer answer;
  answer.kind = kind;
  Reader in(payload);
  in.I32(&answer.result) && in.U32(&answer.lastError) && in.U32(&answer.value) && in.Bytes(&answer.data, kMaxData);
  if (!in.Done()) return std::nullopt;
  return answer;
}

std::vector<uint8_t> EncodePowerStatus(const CePowerStatus& status) {
  Writer out;
  const uint32_t head = status.ACLineStatus | status.BatteryFlag << 8 | status.BatteryLifePercent << 16 |
                        static_cast<uint32_t>(status.Reserved1) << 24;
  const uint32_t backup = status.Reserved2 | status.BackupBatteryFlag << 8 |
                          status.BackupBatteryLifePercent << 16 | static_cast<uint32_t>(status.Reserved3) << 24;
  out.U32(head);
  out.U32(status.BatteryLifeTime);
  out.U32(status.BatteryFullLifeTime);
  out.U32(backup);
  out.U32(status.BackupBatteryLifeTime);
  out.U32(status.BackupBatteryFullLifeTime);
  auto message = std::move(out).Message(0);
  return std::vector<uint8_t>(message.begin() + kHeaderSize, message.end());
}

std::optional<CePowerStatus> DecodePowerStatus(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  uint32_t head = 0, backup = 0;
  CePowerStatus status;
  in.U32(&head) && in.U32(&status.BatteryLifeTime) && in.U32(&status.BatteryFullLifeTime) && in.U32(&backup) &&
      in.U32(&status.BackupBatteryLifeTime) && in.U32(&status.BackupBatteryFullLifeTime);
  if (!in.Done()) return std::nullopt;
  status.ACLineStatus = static_cast<uint8_t>(head);
  status.BatteryFlag = static_cast<uint8_t>(head >> 8);
  status.BatteryLifePercent = static_cast<uint8_t>(head >> 16);
  status.Reserved1 = static_cast<uint8_t>(head >> 24);
  status.Reserved2 = static_cast<uint8_t>(backup);
  status.BackupBatteryFlag = static_cast<uint8_t>(backup >> 8);
  status.BackupBatteryLifePercent = static_cast<uint8_t>(backup >> 16);
  status.Reserved3 = static_cast<uint8_t>(backup >> 24);
  return status;
}

}  // namespace corvash::rapi::wire
