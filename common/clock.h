#pragma once
// The one clock of the system. Every sleep, wait limit and timer period goes
// through here so that CORVASH_TIME_SCALE (default 1) can stretch or shrink
// them all alike: 0.01 runs a 3000 ms wait in 30 ms. Periods are written in
// the code as the system's milliseconds; only their real length is scaled.
#include <chrono>
#include <cstdint>

namespace corvash::common {

// Wait without a limit, as Win32's INFINITE.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// The scale factor, read once from CORVASH_TIME_SCALE; a missing, malformed or
// non-positive value means 1. Thread-safe.
double TimeScale();

// Overrides the factor for the rest of the process (tests); 0 or less restores
// the environment's value.
void SetTimeScale(double scale);

// Real duration of `ms` system milliseconds.
std::chrono::steady_clock::duration ScaledDuration(uint32_t ms);

// Real deadline `ms` system milliseconds from now; kInfinite gives time_point::max().
std::chrono::steady_clock::time_point DeadlineAfter(uint32_t ms);

// Sleeps `ms` system milliseconds (Sleep).
void SleepMs(uint32_t ms);

// System milliseconds since an arbitrary start (GetTickCount): real elapsed
// time divided by the scale, so that measured periods compare with the
// constants of the code.
uint64_t TickMs();

}  // namespace corvash::common
