#include "desktop/flashcli/interrupt_signals.h"

#include <atomic>

namespace corvash::flashcli {
namespace {

// A handler can reach nothing but a lock-free flag of static storage.
std::atomic<bool> raised{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnSignal(int) { raised.store(true); }

}  // namespace

InterruptSignals::InterruptSignals() {
  raised.store(false);
  struct sigaction action {};
  action.sa_handler = &OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &oldInt_);
  sigaction(SIGTERM, &action, &oldTerm_);
}

InterruptSignals::~InterruptSignals() {
  sigaction(SIGINT, &oldInt_, nullptr);
  sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool InterruptSignals::Raised() const { return raised.load(); }

}  // namespace corvash::flashcli
