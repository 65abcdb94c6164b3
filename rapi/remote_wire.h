#pragma once
// The wire of the remote API between the desktop's client and the device
// end, over the sync link's Unix stream socket. Both ends include this header
// and nothing else defines a message.
//
// Every message is a fixed 8-byte header, then its payload:
//   u32 length   bytes of payload after the header (at most kMaxPayload)
//   u16 kind     MessageKind
//   u16 zero     reserved, sent as 0
// All numbers little-endian. Payload fields are u32 numbers, byte strings
// (u32 length, then the bytes) and UTF-16 texts (u32 count of code units,
// then the units, each little-endian). A request gets exactly one answer:
// the answer kind of the request (kind | kAnswerBit), or kRefused when the
// request was malformed (too short, too long, of an unknown kind, or with
// bytes left over); the connection goes on after a refusal.
//
// Decoders take a span and check every length before they read.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rapi/remote_api.h"

namespace corvash::rapi::wire {

inline constexpr size_t kHeaderSize = 8;
// Largest file piece a read or write moves in one message, and the largest
// invocation input or output.
inline constexpr uint32_t kMaxData = 4u << 20;
// Room for the fields around the data.
inline constexpr uint32_t kMaxPayload = kMaxData + 4096;
inline constexpr uint32_t kProtocolVersion = 1;

enum class MessageKind : uint16_t {
  Hello = 1,
  Invoke = 2,
  CreateFile = 3,
  ReadFile = 4,
  WriteFile = 5,
  CloseHandle = 6,
  DeleteFile = 7,
  MoveFile = 8,
  CreateProcess = 9,
  PowerStatus = 10,
  GetLastError = 11,
};
inline constexpr uint16_t kAnswerBit = 0x8000;
// The answer to a request that could not be read.
inline constexpr uint16_t kRefused = 0xFFFF;

struct Header {
  uint32_t length = 0;
  uint16_t kind = 0;
};

std::array<uint8_t, kHeaderSize> EncodeHeader(const Header& header);
// nullopt when `bytes` is shorter than a header. The kind and length are not
// judged here; see IsRequestKind and kMaxPayload.
std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes);
bool IsRequestKind(uint16_t kind);

// One request; which fields count depends on `kind`:
//   Hello          number (protocol version)
//   Invoke         text (library), text2 (function), data (input)
//   CreateFile     text (path), access, share, disposition, attributes
//   ReadFile       handle, count (bytes wanted, at most kMaxData)
//   WriteFile      handle, data
//   CloseHandle    handle
//   DeleteFile     text (path)
//   MoveFile       text (from), text2 (to)
//   CreateProcess  text (program path)
//   PowerStatus    number (1: fresh values)
//   GetLastError   nothing
struct Request {
  MessageKind kind = MessageKind::Hello;
  std::u16string text, text2;
  std::vector<uint8_t> data;
  uint32_t number = 0;  // version, count or update flag
  uint32_t handle = 0;
  uint32_t access = 0, share = 0, disposition = 0, attributes = 0;
};

// One answer: `result` (HRESULT, BOOL, handle or status as the request's call
// gives it), the device's last error after the call, `value` (bytes written,
// protocol version) and `data` (bytes read, invocation output, the power
// status record).
struct Answer {
  uint16_t kind = kRefused;
  int32_t result = 0;
  uint32_t lastError = 0;
  uint32_t value = 0;
  std::vector<uint8_t> data;
};

// Header and payload of a whole message.
std::vector<uint8_t> EncodeRequest(const Request& request);
std::vector<uint8_t> EncodeAnswer(const Answer& answer);
// The payload of a message of `kind`; nullopt when the payload is short, has
// bytes left over, or holds a field longer than allowed.
std::optional<Request> DecodeRequest(uint16_t kind, std::span<const uint8_t> payload);
std::optional<Answer> DecodeAnswer(uint16_t kind, std::span<const uint8_t> payload);

// The power status record as it crosses in an answer's data (24 bytes).
std::vector<uint8_t> EncodePowerStatus(const CePowerStatus& status);
std::optional<CePowerStatus> DecodePowerStatus(std::span<const uint8_t> bytes);

}  // namespace corvash::rapi::wire
