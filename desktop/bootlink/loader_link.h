#pragma once
// LoaderLink: the one owner of the link to the handheld's boot loader. It
// holds the port, the receive thread, the download context and its thread,
// the polled replies, the change count the waits look at, the image file
// kept open through a flash, and the watch whose timer is the link
// watchdog. Close() is the one way to take it all down.
//
// The flags are read by any thread; the fields that the waits look at are
// changed through the calls below, which announce the change. The receive
// thread is started by the port test (receive_thread.h), the download
// thread by the receive thread, with the procedure given at construction.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "common/event.h"
#include "common/fixed_text.h"
#include "desktop/bootlink/download_context.h"
#include "desktop/bootlink/link_signals.h"

namespace corvash::platform {
class SerialPort;
}

namespace corvash::bootlink {

class FlashWatch;

// Name of the send-complete event of the protocol, for traces and tests.
inline constexpr const char* SEND_STRING_COMPLETE_EVENT = "SendStringCompleteEvent";

enum class LinkWait { kSignalled, kTimedOut, kLinkClosed };

class LoaderLink {
 public:
  // What the download thread runs for every "start NB image download"
  // (normally ImageDownloadThread); it must clear DownloadActive on every
  // way out. Without one the start line is traced and dropped.
  using DownloadProc = std::function<uint32_t(LoaderLink&, DownloadContext&)>;

  // `serialLink` is the run's record of how the handheld is attached (1 a
  // COM port, 0 the USB serial device): the port test sets it, the receive
  // thread reads it. It must outlive the link.
  LoaderLink(DownloadProc download, std::atomic<uint32_t>& serialLink);
  // Closes the link.
  ~LoaderLink();
  LoaderLink(const LoaderLink&) = delete;
  LoaderLink& operator=(const LoaderLink&) = delete;

  // ---- Flags ------------------------------------------------------------------
  std::atomic<uint32_t> linkClosed{0};          // 1: every send refused, the reader ends
  std::atomic<uint32_t> commandSessionOpen{0};  // the loader's command session
  std::atomic<uint32_t> readerRunning{0};       // the receive thread reads
  // 0 no flash, 1 first load sent, 2 first download ended, 3 second load sent.
  std::atomic<uint32_t> flashState{0};
  std::atomic<uint32_t>& serialLink;

  // ---- The port ------------------------------------------------------------------
  std::shared_ptr<platform::SerialPort> Port() const;
  // Makes `port` (null: none) the link's port and announces it.
  void PublishPort(std::shared_ptr<platform::SerialPort> port);
  // Withdraws `port` if it is still the link's port (another may have taken
  // its place). True when it was.
  bool WithdrawPort(const std::shared_ptr<platform::SerialPort>& port);
  // Withdraws the port, whatever it is, and closes it; a port's Close wakes
  // a reader waiting on it. False when there was none.
  bool ClosePort();

  // ---- Sending ---------------------------------------------------------------------
  // Writes all `length` bytes (text or binary) to the port. Returns 1 when
  // every byte was handed to the port, then signals the send-complete event.
  // Returns 0 when:
  //  - linkClosed is 1: traces "\nReady write file but disconnect\n" and does
  //    nothing else (no write, no event, no watchdog);
  //  - there is no port or the write fails: closes the port, declares the
  //    link closed, arms the watchdog at 10 ms and traces
  //    "\r\n Line 192: Write file fail !\r\n" and
  //    "\r\n Line 202:Write file Error! \r\n".
  // Blocks for the whole write; two threads never interleave their bytes.
  uint32_t SendString(const void* bytes, size_t length);
  uint32_t SendString(std::string_view text);
  // Auto-reset, signalled after every successful send.
  common::Event& SendCompleteEvent() { return sendComplete_; }

  // ---- Replies -----------------------------------------------------------------------
  // The last framed reply ("KVOE") and the last port-test echo, copied under
  // a lock (the receive thread writes, others read).
  void SetFrameReply(std::string_view text);
  std::string FrameReply() const;
  void SetPortTestReply(std::string_view text);
  std::string PortTestReply() const;
  // Auto-reset, pulsed when a line holding "Port Test" arrives.
  common::Event& PortTestEvent() { return portTest_; }

  // ---- Changes and waits -------------------------------------------------------------
  LinkSignals& Signals() { return signals_; }
  // linkClosed := 1, announced.
  void DeclareClosed();
  // flashState: `from` -> `to` when it holds `from`, announced; false
  // (nothing changed) otherwise.
  bool MoveFlashState(uint32_t from, uint32_t to);
  // Waits up to `ms` for `event` (auto-reset events pass one waiter),
  // looking at linkClosed at least every 10 system ms.
  LinkWait WaitEvent(common::Event& event, uint32_t ms);
  // Pauses `ms`; false when linkClosed became 1 first.
  bool Pause(uint32_t ms);
  // Waits until the link has a port; false when linkClosed became 1 first.
  // No limit of its own: the watchdog ends the watch, and with it the link.
  bool WaitForPort();

  // ---- The watch and its watchdog ----------------------------------------------------
  // Makes `watch` (null: none) the flash's watcher. A thread that took the
  // watcher just before it was withdrawn may still call it: a watcher lives
  // until every thread of the link that may call it has ended (the wizard's
  // page for the whole process; others close the link first).
  void Watch(FlashWatch* watch) { watch_.store(watch); }
  FlashWatch* Watcher() const { return watch_.load(); }
  // (Re)arms or stops the watcher's watchdog; nothing without a watcher.
  void ArmWatchdog(uint32_t ms);
  void KillWatchdog();

  // ---- The image file of a flash -----------------------------------------------------
  // Keeps `fd` open for the flash (closing one kept before); -1 releases.
  void KeepImageFile(int fd);
  void CloseImageFile() { KeepImageFile(-1); }
  bool ImageFileOpen() const;

  // ---- The download ---------------------------------------------------------------------
  DownloadContext& Download() { return download_; }
  // The image that ":F=" names: the path of the image being flashed.
  void SetDownloadImage(std::string_view path);
  std::string DownloadImage() const;
  // Starts the download procedure on the download thread. Receive thread.
  void StartDownloadThread();

  // ---- The receive thread ----------------------------------------------------------------
  // Runs `body` on the reader thread, after joining an earlier reader that
  // has ended. False when a reader still runs.
  bool StartReader(std::function<void()> body);
  bool ReaderStarted() const;  // started and not yet joined
  bool ReaderAlive() const;    // started and not yet returned
  void JoinReader();
  // Test seam: the next reader fails to set itself up.
  void FailNextReaderStart() { failNextReader_.store(true); }
  bool TakeReaderStartFailure() { return failNextReader_.exchange(false); }

  // ---- Closing ------------------------------------------------------------------------
  // Takes the link down: linkClosed := 1, the reader joined (it closes its
  // port), any port left closed, the download thread joined, the image file
  // closed. Not from the reader or the download thread.
  void Close();

 private:
  DownloadProc downloadProc_;
  mutable std::mutex portMutex_;
  std::shared_ptr<platform::SerialPort> port_;
  std::mutex sendMutex_;
  common::Event sendComplete_{false, false};
  common::Event portTest_{false, false};
  mutable std::mutex replyMutex_;
  char frameReply_[128] = {};
  char portTestReply_[32] = {};
  LinkSignals signals_;
  std::atomic<FlashWatch*> watch_{nullptr};
  mutable std::mutex imageMutex_;
  int imageFd_ = -1;
  mutable std::mutex downloadImageMutex_;
  std::string downloadImage_;
  DownloadContext download_;
  mutable std::mutex readerMutex_;
  std::thread reader_;
  std::atomic<bool> readerAlive_{false};
  std::atomic<bool> failNextReader_{false};
};

}  // namespace corvash::bootlink
