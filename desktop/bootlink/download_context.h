#pragma once
// DownloadContext: what the loader has told about the next download. The
// receive thread fills it from the key lines and starts the download thread
// with it; the download thread reads the texts once at its start, waits on
// the two notify events and clears DownloadActive on every way out.
//
// Hand-over rules: the receive thread writes the texts only while
// DownloadActive is 0, and the download thread reads them only after it was
// started, so the texts need no lock. The notify events and DownloadActive
// are safe from any thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "common/event.h"
#include "common/fixed_text.h"

namespace corvash::bootlink {

struct DownloadContext {
  DownloadContext();
  DownloadContext(const DownloadContext&) = delete;
  DownloadContext& operator=(const DownloadContext&) = delete;

  // The last early download failure, in the download thread's words.
  char statusText[128] = {};
  // Set by the receive thread on byte 0x01 / 0x02 during a download
  // (auto-reset, not signalled when the receive thread starts).
  platform::Event NotifyHeaderEvent{false, false};
  platform::Event NotifyRecordEvent{false, false};
  // 1 from the start line until the download thread ends.
  std::atomic<uint32_t> DownloadActive{0};
  // The image to send (the PC's imagePath, set on ":F=") and the values of
  // ":A=", ":O=" (ImgBypassOffset) and ":L=" as the loader sent them.
  char fileName[260] = {};
  char addressText[260] = {};
  char offsetText[260] = {};
  char lengthText[260] = {};

  // Id of the running (or last) download thread; default id when none.
  std::thread::id DownloadThreadId() const;

  // Puts texts, flags and events back to their start state. Only while no
  // download thread runs (tests, a new run).
  void Reset();

 private:
  friend void StartDownloadThread(DownloadContext& context);
  friend void JoinDownloadThread(DownloadContext& context);
  mutable std::mutex threadMutex_;
  std::thread downloadThread_;
};

// The one record of the program.
DownloadContext& TheDownloadContext();

// Sets DownloadActive and starts the download thread (the installed
// download procedure, see receive_thread.h) with `context`, after joining a
// previous download thread that has ended. Called by the receive thread.
void StartDownloadThread(DownloadContext& context);
// Waits for the download thread to end, if one was started. Call it when
// the link is torn down (tests, program end); not from the download thread.
void JoinDownloadThread(DownloadContext& context);

}  // namespace corvash::bootlink
