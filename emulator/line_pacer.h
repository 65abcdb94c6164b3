#pragma once
// Holds a stream of bytes to a line speed: 10 bits a byte (8N1), so 115200
// baud carries 11520 bytes a second. The time goes through the system clock,
// so CORVASH_TIME_SCALE shortens it like every other wait. Time the line was
// idle is not saved up for a later burst. Not thread-safe.
#include <cstddef>
#include <cstdint>

namespace corvash::emulator {

class LinePacer {
 public:
  // 0 = no limit.
  explicit LinePacer(uint32_t baud) : bytesPerSecond_(baud / 10) {}
  bool Limited() const { return bytesPerSecond_ != 0; }
  uint32_t BytesPerSecond() const { return bytesPerSecond_; }
  // Counts `count` bytes as passed and sleeps until the line could have carried them.
  void Pace(size_t count);

 private:
  uint32_t bytesPerSecond_;
  bool started_ = false;
  uint64_t startMs_ = 0;
  uint64_t bytes_ = 0;
};

}  // namespace corvash::emulator
