#pragma once
// DownloadContext: what the loader has told about the next download. The
// receive thread fills it from the key lines and, through its link, starts
// the download thread with it; the download thread reads the texts once at
// its start, waits on the two notify events and clears DownloadActive on
// every way out.
//
// Hand-over rules: the receive thread writes the texts only while
// DownloadActive is 0, and the download thread reads them only after it was
// started, so the texts need no lock. The notify events and DownloadActive
// are safe from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "common/event.h"
#include "common/fixed_text.h"

namespace corvash::bootlink {

struct DownloadContext {
  DownloadContext();
  ~DownloadContext();
  DownloadContext(const DownloadContext&) = delete;
  DownloadContext& operator=(const DownloadContext&) = delete;

  // The last early download failure, in the download thread's words.
  char statusText[128] = {};
  // Set by the receive thread on byte 0x01 / 0x02 during a download
  // (auto-reset, not signalled when the receive thread starts).
  common::Event NotifyHeaderEvent{false, false};
  common::Event NotifyRecordEvent{false, false};
  // 1 from the start line until the download thread ends.
  std::atomic<uint32_t> DownloadActive{0};
  // The image to send (the PC's image path, set on ":F=") and the values of
  // ":A=", ":O=" (ImgBypassOffset) and ":L=" as the loader sent them.
  char fileName[260] = {};
  char addressText[260] = {};
  char offsetText[260] = {};
  char lengthText[260] = {};

  // Sets DownloadActive and runs `body` on a new download thread, after
  // joining a previous one that has ended (it cleared DownloadActive, so it
  // is on its way out). Called by the receive thread.
  void StartThread(std::function<void()> body);
  // Waits for the download thread to end, if one was started; not from the
  // download thread itself.
  void JoinThread();
  // Id of the running (or last) download thread; default id when none.
  std::thread::id DownloadThreadId() const;
  // Puts texts, flags and events back to their start state. Only while no
  // download thread runs.
  void Reset();

 private:
  mutable std::mutex threadMutex_;
  std::thread downloadThread_;
};

}  // namespace corvash::bootlink
