#include "device/platform/debug_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "common/handheld_folder.h"
#include "common/utf16_text.h"

namespace corvash::ce {

void OutputDebugStringW(std::u16string_view text) {
  const auto folder = common::Folder::FromEnvironment();
  if (!folder) return;
  const std::string utf8 = common::FromUtf16(text);
  if (utf8.empty()) return;
  const int fd = ::open(folder->DebugLogPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // O_APPEND puts the whole text at the end in one step.
  [[maybe_unused]] const ssize_t written = ::write(fd, utf8.data(), utf8.size());
  ::close(fd);
}

}  // namespace corvash::ce
