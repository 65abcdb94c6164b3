#include "common/clock.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

namespace corvash::common {
namespace {

double ScaleFromEnvironment() {
  const char* text = std::getenv("CORVASH_TIME_SCALE");
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value > 0.0) || value > 1e6) return 1.0;
  return value;
}

std::atomic<double>& ScaleSlot() {
  static std::atomic<double> scale{ScaleFromEnvironment()};
  return scale;
}

const std::chrono::steady_clock::time_point& ProcessStart() {
  static const auto start = std::chrono::steady_clock::now();
  return start;
}

}  // namespace

double TimeScale() { return ScaleSlot().load(std::memory_order_relaxed); }

void SetTimeScale(double scale) {
  ScaleSlot().store(scale > 0.0 ? scale : ScaleFromEnvironment(), std::memory_order_relaxed);
}

std::chrono::steady_clock::duration ScaledDuration(uint32_t ms) {
  const double real_ns = static_cast<double>(ms) * 1e6 * TimeScale();
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double, std::nano>(real_ns));
}

std::chrono::steady_clock::time_point DeadlineAfter(uint32_t ms) {
  if (ms == kInfinite) return std::chrono::steady_clock::time_point::max();
  return std::chrono::steady_clock::now() + ScaledDuration(ms);
}

void SleepMs(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(ScaledDuration(ms));
}

uint64_t TickMs() {
  const auto real = std::chrono::steady_clock::now() - ProcessStart();
  const double ms = std::chrono::duration<double, std::milli>(real).count() / TimeScale();
  return static_cast<uint64_t>(ms);
}

}  // namespace corvash::common
