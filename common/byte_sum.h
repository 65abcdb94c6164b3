#pragma once
// Sum of bytes, the inner loop of the image checksum. Uses the machine's
// vector instructions where it has them (SAD sums on x86-64); the result is
// the same everywhere. Pure; any thread.
#include <cstdint>
#include <span>

namespace corvash::common {

// `sum` plus every byte of `bytes`, modulo 65536: only the low 16 bits of
// the result are meaningful.
uint32_t SumBytes(uint32_t sum, std::span<const uint8_t> bytes);

// The portable loop alone (tests compare the two).
uint32_t SumBytesPortable(uint32_t sum, std::span<const uint8_t> bytes);

}  // namespace corvash::common
