#include "common/byte_sum.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace corvash::common {

namespace {

uint32_t SumTail(uint32_t sum, const uint8_t* p, size_t size) {
  for (size_t i = 0; i < size; ++i) sum += p[i];
  return sum;
}

// Eight 16-bit lanes; the compiler maps them onto vector registers.
typedef uint16_t Lanes16 __attribute__((vector_size(16)));

}  // namespace

uint32_t SumBytesPortable(uint32_t sum, std::span<const uint8_t> bytes) {
  // Only the sum modulo 65536 matters, so 16-bit lanes may wrap. Read as
  // 16-bit words, two bytes lo and hi give word = lo + 256 * hi (in either
  // byte order); with hi = word >> 8, lo + hi = word - 255 * hi.
  constexpr size_t kStep = 2 * sizeof(Lanes16);
  const uint8_t* p = bytes.data();
  size_t left = bytes.size();
  Lanes16 words{}, highs{}, words2{}, highs2{};
  for (; left >= kStep; left -= kStep, p += kStep) {
    Lanes16 a, b;
    std::memcpy(&a, p, sizeof a);
    std::memcpy(&b, p + sizeof a, sizeof b);
    words += a;
    highs += a >> 8;
    words2 += b;
    highs2 += b >> 8;
  }
  words += words2;
  highs += highs2;
  uint32_t folded = 0;
  for (size_t lane = 0; lane < 8; ++lane) folded += static_cast<uint32_t>(words[lane]) - 255u * highs[lane];
  return SumTail(sum + (folded & 0xFFFF), p, left);
}

#if defined(__x86_64__)

namespace {

// SAD against zero adds eight bytes into each 64-bit lane.
__attribute__((target("avx2"))) uint32_t SumBytesAvx2(uint32_t sum, const uint8_t* p, size_t size) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i acc0 = zero, acc1 = zero;
  for (; size >= 64; size -= 64, p += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    acc0 = _mm256_add_epi64(acc0, _mm256_sad_epu8(a, zero));
    acc1 = _mm256_add_epi64(acc1, _mm256_sad_epu8(b, zero));
  }
  alignas(32) uint64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_add_epi64(acc0, acc1));
  sum += static_cast<uint32_t>(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
  return SumTail(sum, p, size);
}

uint32_t SumBytesSse2(uint32_t sum, const uint8_t* p, size_t size) {
  const __m128i zero = _mm_setzero_si128();
  __m128i acc0 = zero, acc1 = zero;
  for (; size >= 32; size -= 32, p += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    acc0 = _mm_add_epi64(acc0, _mm_sad_epu8(a, zero));
    acc1 = _mm_add_epi64(acc1, _mm_sad_epu8(b, zero));
  }
  alignas(16) uint64_t lanes[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_add_epi64(acc0, acc1));
  sum += static_cast<uint32_t>(lanes[0] + lanes[1]);
  return SumTail(sum, p, size);
}

bool HasAvx2() {
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
}

}  // namespace

uint32_t SumBytes(uint32_t sum, std::span<const uint8_t> bytes) {
  return HasAvx2() ? SumBytesAvx2(sum, bytes.data(), bytes.size()) : SumBytesSse2(sum, bytes.data(), bytes.size());
}

#else

uint32_t SumBytes(uint32_t sum, std::span<const uint8_t> bytes) { return SumBytesPortable(sum, bytes); }

#endif

}  // namespace corvash::common
