#pragma once
// SIGINT and SIGTERM while corvash-flash runs: the handler only sets a flag
// that the main thread polls; everything else happens there.
#include <csignal>

namespace corvash::flashcli {

// Installs the handlers for its life and restores the old ones after.
class InterruptSignals {
 public:
  InterruptSignals();
  ~InterruptSignals();
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;

  // Whether a signal has come since the handlers were installed.
  bool Raised() const;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

}  // namespace corvash::flashcli
