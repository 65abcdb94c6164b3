#include "common/event.h"

#include <map>

namespace corvash::common {

Event::Event(bool manualReset, bool initialState)
    : manualReset_(manualReset), signalled_(initialState) {}

void Event::Set() {
  std::lock_guard lock(mutex_);
  signalled_ = true;
  if (manualReset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

void Event::Pulse() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
  if (waiters_ == 0) return;
  if (manualReset_) {
    ++pulseGeneration_;
    cv_.notify_all();
  } else {
    pulseTokens_ = 1;
    cv_.notify_all();
  }
}

bool Event::Wait(uint32_t timeoutMs) {
  const auto deadline = DeadlineAfter(timeoutMs);
  std::unique_lock lock(mutex_);
  const uint64_t generation = pulseGeneration_;
  ++waiters_;
  bool passed = false;
  for (;;) {
    if (signalled_) {
      if (!manualReset_) signalled_ = false;
      passed = true;
      break;
    }
    if (manualReset_ && pulseGeneration_ != generation) {
      passed = true;
      break;
    }
    if (!manualReset_ && pulseTokens_ > 0) {
      --pulseTokens_;
      passed = true;
      break;
    }
    if (timeoutMs == kInfinite) {
      cv_.wait(lock);
    } else if (cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
      // One last look: a signal may have come with the time-out.
      if (signalled_ || (!manualReset_ && pulseTokens_ > 0) ||
          (manualReset_ && pulseGeneration_ != generation)) {
        continue;
      }
      break;
    }
  }
  --waiters_;
  if (waiters_ == 0) pulseTokens_ = 0;  // a pulse never outlives its waiters
  return passed;
}

bool Event::IsSignalled() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

uint32_t Event::WaiterCount() const {
  std::lock_guard lock(mutex_);
  return waiters_;
}

namespace {
std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::shared_ptr<Event>>& Table() {
  static std::map<std::string, std::shared_ptr<Event>> table;
  return table;
}
}  // namespace

std::shared_ptr<Event> CreateNamedEvent(const std::string& name, bool manualReset, bool initialState) {
  std::lock_guard lock(TableMutex());
  auto& slot = Table()[name];
  if (!slot) slot = std::make_shared<Event>(manualReset, initialState);
  return slot;
}

std::shared_ptr<Event> OpenNamedEvent(const std::string& name) {
  std::lock_guard lock(TableMutex());
  auto it = Table().find(name);
  return it == Table().end() ? nullptr : it->second;
}

void ClearNamedEvents() {
  std::lock_guard lock(TableMutex());
  Table().clear();
}

}  // namespace corvash::common
