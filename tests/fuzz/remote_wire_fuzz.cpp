// A message of the remote API as it arrives on the socket: the 8-byte header,
// then the payload. Input: one message (the header's length is not trusted;
// the payload is whatever follows the header).
//
// Both decoders run on every input; whatever they accept, the encoder writes
// back byte for byte (the wire has one spelling of each message).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "rapi/remote_wire.h"

namespace {

using namespace corvash::rapi::wire;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

bool SameMessage(const std::vector<uint8_t>& encoded, uint16_t kind, std::span<const uint8_t> payload) {
  const auto header = DecodeHeader(encoded);
  return header && header->kind == kind && header->length == payload.size() &&
         encoded.size() == kHeaderSize + payload.size() &&
         std::equal(payload.begin(), payload.end(), encoded.begin() + kHeaderSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const auto header = DecodeHeader(bytes);
  if (!header) return 0;
  const std::span<const uint8_t> payload = bytes.subspan(kHeaderSize);

  if (const auto request = DecodeRequest(header->kind, payload)) {
    Require(SameMessage(EncodeRequest(*request), header->kind, payload), "a request reads back as it was sent");
  }
  if (const auto answer = DecodeAnswer(header->kind, payload)) {
    Require(SameMessage(EncodeAnswer(*answer), header->kind, payload), "an answer reads back as it was sent");
    if (const auto status = DecodePowerStatus(answer->data)) {
      Require(EncodePowerStatus(*status) == answer->data, "a power status reads back as it was sent");
    }
  }
  (void)DecodePowerStatus(payload);
  return 0;
}
