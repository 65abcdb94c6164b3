#pragma once
// One run of corvash-flash: the boot-loader link it owns, the watch of a
// flash while one runs, and the stop that SIGINT or SIGTERM asks for. The
// command runs on a worker thread; the main thread polls the signal flag
// and calls Interrupt, which wakes every wait of the link without closing
// it (the link is closed once the worker has returned).
#include <atomic>
#include <cstdint>
#include <mutex>

#include "desktop/bootlink/loader_link.h"

namespace corvash::flashcli {

class TerminalWatch;

class FlashRun {
 public:
  FlashRun();
  FlashRun(const FlashRun&) = delete;
  FlashRun& operator=(const FlashRun&) = delete;

  bootlink::LoaderLink& Link() { return link_; }
  // The watch of the flash under way (null: none), for Interrupt to end.
  // Once Watching(nullptr) has returned, Interrupt no longer reaches the
  // watch it replaced, which may then go.
  void Watching(TerminalWatch* watch);

  // Main thread: the link declared closed, a running watch ended as
  // interrupted. The worker then finds Interrupted() and leaves.
  void Interrupt();
  bool Interrupted() const { return interrupted_.load(); }

 private:
  std::atomic<uint32_t> serialLink_{0};
  bootlink::LoaderLink link_;
  std::mutex watchMutex_;
  TerminalWatch* watch_ = nullptr;  // under watchMutex_
  std::atomic<bool> interrupted_{false};
};

}  // namespace corvash::flashcli
