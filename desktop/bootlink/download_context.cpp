#include "desktop/bootlink/download_context.h"

namespace corvash::bootlink {

DownloadContext::DownloadContext() = default;

DownloadContext::~DownloadContext() { JoinThread(); }

std::thread::id DownloadContext::DownloadThreadId() const {
  std::lock_guard lock(threadMutex_);
  return downloadThread_.get_id();
}

void DownloadContext::Reset() {
  common::ClearText(statusText);
  common::ClearText(fileName);
  common::ClearText(addressText);
  common::ClearText(offsetText);
  common::ClearText(lengthText);
  NotifyHeaderEvent.Reset();
  NotifyRecordEvent.Reset();
  DownloadActive.store(0);
}

void DownloadContext::StartThread(std::function<void()> body) {
  DownloadActive.store(1);
  std::lock_guard lock(threadMutex_);
  if (downloadThread_.joinable()) downloadThread_.join();
  downloadThread_ = std::thread(std::move(body));
}

void DownloadContext::JoinThread() {
  std::thread finished;
  {
    std::lock_guard lock(threadMutex_);
    if (!downloadThread_.joinable()) return;
    if (downloadThread_.get_id() == std::this_thread::get_id()) return;
    finished = std::move(downloadThread_);
  }
  finished.join();
}

}  // namespace corvash::bootlink
