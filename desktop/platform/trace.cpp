#include "desktop/platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace corvash::platform {
namespace {

struct TraceSink {
  std::mutex mutex;
  FILE* file = nullptr;
  bool opened = false;

  void OpenLocked() {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    const char* path = std::getenv("CORVASH_TRACE");
    if (path != nullptr && *path != '\0') file = std::fopen(path, "ab");
    opened = true;
  }
};

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

}  // namespace

void Trace(std::string_view text) {
  auto& sink = Sink();
  std::lock_guard lock(sink.mutex);
  if (!sink.opened) sink.OpenLocked();
  if (sink.file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), sink.file);
  std::fflush(sink.file);
}

void TraceF(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    Trace(std::string_view(buffer.data(), static_cast<size_t>(length)));
  }
  va_end(args);
}

void ReopenTrace() {
  auto& sink = Sink();
  std::lock_guard lock(sink.mutex);
  sink.OpenLocked();
}

}  // namespace corvash::platform
