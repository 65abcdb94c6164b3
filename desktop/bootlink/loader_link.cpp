#include "desktop/bootlink/loader_link.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "common/clock.h"
#include "desktop/bootlink/flash_watch.h"
#include "desktop/bootlink/watchdog.h"
#include "desktop/platform/serial_port.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at linkClosed when nobody announces its change.
constexpr uint32_t kCheckMs = 10;
// How often the wait for a port looks at it.
constexpr uint32_t kPortCheckMs = 1;

uint32_t RemainingMs(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const double realMs = std::chrono::duration<double, std::milli>(left).count();
  return static_cast<uint32_t>(std::min(realMs / common::TimeScale() + 1.0, 4.0e9));
}

// The slice of an event wait between two looks at linkClosed, in system ms.
uint32_t SliceMs() {
  const double perRealMs = 1.0 / common::TimeScale();
  return std::max(kCheckMs, static_cast<uint32_t>(std::min(perRealMs, 60000.0)));
}

}  // namespace

LoaderLink::LoaderLink(DownloadProc download, std::atomic<uint32_t>& serialLinkOfRun)
    : serialLink(serialLinkOfRun), downloadProc_(std::move(download)) {}

LoaderLink::~LoaderLink() { Close(); }

// ---- The port -----------------------------------------------------------------

std::shared_ptr<platform::SerialPort> LoaderLink::Port() const {
  std::lock_guard lock(portMutex_);
  return port_;
}

void LoaderLink::PublishPort(std::shared_ptr<platform::SerialPort> port) {
  {
    std::lock_guard lock(portMutex_);
    port_ = std::move(port);
  }
  signals_.Notify();
}

bool LoaderLink::WithdrawPort(const std::shared_ptr<platform::SerialPort>& port) {
  std::lock_guard lock(portMutex_);
  if (port_ != port) return false;
  port_.reset();
  return true;
}

bool LoaderLink::ClosePort() {
  std::shared_ptr<platform::SerialPort> port;
  {
    std::lock_guard lock(portMutex_);
    port.swap(port_);
  }
  if (!port) return false;
  port->Close();
  return true;
}

// ---- Sending ------------------------------------------------------------------

uint32_t LoaderLink::SendString(const void* bytes, size_t length) {
  if (linkClosed.load() != 0) {
    platform::Trace("\nReady write file but disconnect\n");
    return 0;
  }
  std::shared_ptr<platform::SerialPort> port;
  bool written = false;
  {
    std::lock_guard lock(sendMutex_);
    port = Port();
    written = port && port->WriteAll(static_cast<const uint8_t*>(bytes), length);
  }
  if (written) {
    sendComplete_.Set();
    return 1;
  }
  if (port) {
    WithdrawPort(port);
    port->Close();
  }
  platform::Trace("\r\n Line 192: Write file fail !\r\n");
  DeclareClosed();
  ArmWatchdog(WATCHDOG_LINK_FAILED_MS);
  platform::Trace("\r\n Line 202:Write file Error! \r\n");
  return 0;
}

uint32_t LoaderLink::SendString(std::string_view text) { return SendString(text.data(), text.size()); }

// ---- Replies --------------------------------------------------------------------

void LoaderLink::SetFrameReply(std::string_view text) {
  std::lock_guard lock(replyMutex_);
  common::CopyText(frameReply_, text);
}

std::string LoaderLink::FrameReply() const {
  std::lock_guard lock(replyMutex_);
  return std::string(common::TextOf(frameReply_));
}

void LoaderLink::SetPortTestReply(std::string_view text) {
  std::lock_guard lock(replyMutex_);
  common::CopyText(portTestReply_, text);
}

std::string LoaderLink::PortTestReply() const {
  std::lock_guard lock(replyMutex_);
  return std::string(common::TextOf(portTestReply_));
}

// ---- Changes and waits ----------------------------------------------------------

void LoaderLink::DeclareClosed() {
  linkClosed.store(1);
  signals_.Notify();
}

bool LoaderLink::MoveFlashState(uint32_t from, uint32_t to) {
  if (!flashState.compare_exchange_strong(from, to)) return false;
  signals_.Notify();
  return true;
}

LinkWait LoaderLink::WaitEvent(common::Event& event, uint32_t ms) {
  const auto deadline = common::DeadlineAfter(ms);
  for (;;) {
    if (linkClosed.load() == 1) return LinkWait::kLinkClosed;
    const uint32_t left = RemainingMs(deadline);
    if (left == 0) return LinkWait::kTimedOut;
    if (event.Wait(std::min(left, SliceMs()))) return LinkWait::kSignalled;
  }
}

bool LoaderLink::Pause(uint32_t ms) {
  const auto deadline = common::DeadlineAfter(ms);
  for (;;) {
    const uint64_t seen = signals_.Count();
    if (linkClosed.load() == 1) return false;
    const auto now = Clock::now();
    if (now >= deadline) return true;
    const auto period = std::max<Clock::duration>(common::ScaledDuration(kCheckMs), std::chrono::milliseconds(1));
    signals_.WaitUntil(seen, std::min(deadline, now + period));
  }
}

bool LoaderLink::WaitForPort() {
  for (;;) {
    const uint64_t seen = signals_.Count();
    if (Port() != nullptr) return true;
    if (linkClosed.load() == 1) return false;
    signals_.Wait(seen, kPortCheckMs);
  }
}

// ---- The watchdog -------------------------------------------------------------------

void LoaderLink::ArmWatchdog(uint32_t ms) {
  if (FlashWatch* watch = Watcher()) watch->ArmWatchdog(ms);
}

void LoaderLink::KillWatchdog() {
  if (FlashWatch* watch = Watcher()) watch->KillWatchdog();
}

// ---- The image file -----------------------------------------------------------------

void LoaderLink::KeepImageFile(int fd) {
  int previous = -1;
  {
    std::lock_guard lock(imageMutex_);
    previous = imageFd_;
    imageFd_ = fd;
  }
  if (previous >= 0) ::close(previous);
}

bool LoaderLink::ImageFileOpen() const {
  std::lock_guard lock(imageMutex_);
  return imageFd_ >= 0;
}

// ---- The download ---------------------------------------------------------------------

void LoaderLink::SetDownloadImage(std::string_view path) {
  std::lock_guard lock(downloadImageMutex_);
  downloadImage_.assign(path);
}

std::string LoaderLink::DownloadImage() const {
  std::lock_guard lock(downloadImageMutex_);
  return downloadImage_;
}

void LoaderLink::StartDownloadThread() {
  if (!downloadProc_) {
    platform::Trace("\r\n No download procedure installed; start line ignored\r\n");
    return;
  }
  download_.StartThread([this] { downloadProc_(*this, download_); });
}

// ---- The receive thread ------------------------------------------------------------------

bool LoaderLink::StartReader(std::function<void()> body) {
  std::lock_guard lock(readerMutex_);
  if (readerAlive_.load()) return false;
  if (reader_.joinable()) reader_.join();
  readerAlive_.store(true);
  reader_ = std::thread([this, body = std::move(body)] {
    body();
    readerAlive_.store(false);
    signals_.Notify();
  });
  return true;
}

bool LoaderLink::ReaderStarted() const {
  std::lock_guard lock(readerMutex_);
  return reader_.joinable();
}

bool LoaderLink::ReaderAlive() const { return readerAlive_.load(); }

void LoaderLink::JoinReader() {
  std::thread finished;
  {
    std::lock_guard lock(readerMutex_);
    finished = std::move(reader_);
  }
  if (finished.joinable()) finished.join();
}

// ---- Closing ------------------------------------------------------------------------

void LoaderLink::Close() {
  DeclareClosed();
  JoinReader();
  ClosePort();
  download_.JoinThread();
  CloseImageFile();
}

}  // namespace corvash::bootlink
