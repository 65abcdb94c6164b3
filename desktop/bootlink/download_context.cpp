#include "desktop/bootlink/download_context.h"

#include "desktop/bootlink/receive_thread.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

std::mutex& ProcMutex() {
  static std::mutex mutex;
  return mutex;
}
DownloadThreadProc& Proc() {
  static DownloadThreadProc proc;
  return proc;
}

}  // namespace

DownloadContext::DownloadContext() = default;

std::thread::id DownloadContext::DownloadThreadId() const {
  std::lock_guard lock(threadMutex_);
  return downloadThread_.get_id();
}

void DownloadContext::Reset() {
  platform::ClearText(statusText);
  platform::ClearText(fileName);
  platform::ClearText(addressText);
  platform::ClearText(offsetText);
  platform::ClearText(lengthText);
  NotifyHeaderEvent.Reset();
  NotifyRecordEvent.Reset();
  DownloadActive.store(0);
}

DownloadContext& TheDownloadContext() {
  // Never destroyed: a download thread may still be finishing at exit.
  static DownloadContext* context = new DownloadContext();
  return *context;
}

void SetDownloadThreadProc(DownloadThreadProc proc) {
  std::lock_guard lock(ProcMutex());
  Proc() = std::move(proc);
}

void StartDownloadThread(DownloadContext& context) {
  DownloadThreadProc proc;
  {
    std::lock_guard lock(ProcMutex());
    proc = Proc();
  }
  context.DownloadActive.store(1);
  if (!proc) {
    platform::Trace("\r\n No download procedure installed; start line ignored\r\n");
    context.DownloadActive.store(0);
    return;
  }
  std::lock_guard lock(context.threadMutex_);
  // The previous download has cleared DownloadActive, so it is on its way out.
  if (context.downloadThread_.joinable()) context.downloadThread_.join();
  context.downloadThread_ = std::thread([proc = std::move(proc), &context] { proc(context); });
}

void JoinDownloadThread(DownloadContext& context) {
  std::thread finished;
  {
    std::lock_guard lock(context.threadMutex_);
    if (!context.downloadThread_.joinable()) return;
    if (context.downloadThread_.get_id() == std::this_thread::get_id()) return;
    finished = std::move(context.downloadThread_);
  }
  finished.join();
}

}  // namespace corvash::bootlink
