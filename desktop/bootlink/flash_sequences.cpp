#include "desktop/bootlink/flash_sequences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <string>

#include "common/loader_wire.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

// The longest time between two looks at flashState.
constexpr uint32_t kLookMs = 10;

// Sends a load command with flashState already moved to `state`, so that
// the download it starts finds the state it belongs to. On failure the state
// goes back. The failed send has declared the link dead and armed the
// watchdog at once: the watch ends with its failure.
bool SendLoad(LoaderLink& link, std::string_view command, uint32_t state) {
  const uint32_t before = link.flashState.exchange(state);
  if (link.SendString(command) == 1) {
    link.ArmWatchdog(WATCHDOG_PROGRESS_MS);
    return true;
  }
  link.flashState.store(before);
  EndWatchAfterFault(link);
  return false;
}

}  // namespace

void EndWatchAfterFault(LoaderLink& link) { link.ArmWatchdog(WATCHDOG_LINK_FAILED_MS); }

uint32_t GetImageBodySize(LoaderLink& link, std::string_view imagePath, bool& notOpened) {
  notOpened = false;
  const int fd = ::open(std::string(imagePath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    link.DeclareClosed();
    link.ClosePort();
    notOpened = true;
    return 0;
  }
  link.KeepImageFile(fd);
  struct stat info {};
  const bool sized = ::fstat(fd, &info) == 0 && info.st_size > static_cast<off_t>(common::IMAGE_HEADER_LENGTH) &&
                     static_cast<uint64_t>(info.st_size) - common::IMAGE_HEADER_LENGTH <=
                         std::numeric_limits<uint32_t>::max();
  if (!sized) {
    link.CloseImageFile();
    platform::Trace("\nGet File size error\n");
    return 0;
  }
  return static_cast<uint32_t>(static_cast<uint64_t>(info.st_size) - common::IMAGE_HEADER_LENGTH);
}

FlashOutcome RunFlashSequence(LoaderLink& link, std::string_view imagePath) {
  if (!link.Pause(FLASH_START_PAUSE_MS)) return FlashOutcome::kLinkLost;
  link.ArmWatchdog(WATCHDOG_LINK_WAIT_MS);
  if (!link.WaitForPort()) return FlashOutcome::kLinkLost;
  link.KillWatchdog();
  bool notOpened = false;
  const uint32_t size = GetImageBodySize(link, imagePath, notOpened);
  if (notOpened) return FlashOutcome::kImageNotOpened;
  if (size == 0) return FlashOutcome::kImageNotSized;
  // ":F=" names the image being flashed.
  link.SetDownloadImage(imagePath);
  if (!SendLoad(link, common::FirstLoadCommand(size), 1)) return FlashOutcome::kLinkLost;
  // The download thread announces the end of the first load; the look at
  // least every 10 ms also catches a change nobody announces.
  for (;;) {
    const uint64_t seen = link.Signals().Count();
    if (link.linkClosed.load() == 1 || link.flashState.load() == 3) break;
    if (link.flashState.load() == 2) {
      if (!SendLoad(link, common::SECOND_LOAD_COMMAND, 3)) return FlashOutcome::kLinkLost;
      continue;
    }
    link.Signals().Wait(seen, kLookMs);
  }
  // A dead link ends the watch even when whoever found it dead stopped the
  // watchdog after arming it.
  return link.linkClosed.load() == 1 ? FlashOutcome::kLinkLost : FlashOutcome::kLoadsSent;
}

}  // namespace corvash::bootlink
