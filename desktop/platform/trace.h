#pragma once
// Trace lines, the debugger output of the system. They go to the file named
// by CORVASH_TRACE (appended, one write per call) and nowhere when it is
// unset. Thread-safe.
#include <string_view>

namespace corvash::platform {

// Writes `text` as it stands (callers give their own "\r\n" where wanted).
void Trace(std::string_view text);
// printf-style form.
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Re-reads CORVASH_TRACE (tests change it between cases).
void ReopenTrace();

}  // namespace corvash::platform
