#pragma once
// Little-endian fields, as every binary record of the system stores them
// (download records, device records, the remote API's wire). The caller
// guarantees the room; the codecs check lengths before they call these.
#include <cstdint>

namespace corvash::common {

inline void PutLE16(uint16_t value, uint8_t* destination) {
  destination[0] = static_cast<uint8_t>(value);
  destination[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLE32(uint32_t value, uint8_t* destination) {
  for (int i = 0; i < 4; ++i) destination[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline uint16_t GetLE16(const uint8_t* source) {
  return static_cast<uint16_t>(source[0] | (source[1] << 8));
}
inline uint32_t GetLE32(const uint8_t* source) {
  return static_cast<uint32_t>(source[0]) | (static_cast<uint32_t>(source[1]) << 8) |
         (static_cast<uint32_t>(source[2]) << 16) | (static_cast<uint32_t>(source[3]) << 24);
}

}  // namespace corvash::common
