#include "tests/flash/loader_port.h"

#include <algorithm>
#include <cstring>

#include "common/clock.h"

namespace corvash::test {

long LoaderPort::ReadAvailable(uint8_t* buffer, size_t capacity) {
  std::lock_guard lock(mutex_);
  if (dropped_ || closed_) return -1;
  const size_t count = std::min(capacity, inbound_.size());
  std::memcpy(buffer, inbound_.data(), count);
  inbound_.erase(0, count);
  return static_cast<long>(count);
}

bool LoaderPort::WriteAll(const uint8_t* data, size_t length) {
  std::lock_guard lock(mutex_);
  if (dropped_ || closed_) return false;
  if (writtenCount_ + length > failAfter_) return false;
  writtenCount_ += length;
  if (keepWritten_) written_.append(reinterpret_cast<const char*>(data), length);
  if (peer_ != nullptr) peer_->Receive(std::span(data, length), *this);
  changed_.notify_all();
  return true;
}

bool LoaderPort::Alive() {
  std::lock_guard lock(mutex_);
  return !dropped_ && !closed_;
}

void LoaderPort::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

bool LoaderPort::WaitReadable(uint32_t ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, common::DeadlineAfter(ms),
                             [this] { return !inbound_.empty() || dropped_ || closed_; });
}

void LoaderPort::Push(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  inbound_.append(bytes);
  changed_.notify_all();
}

void LoaderPort::PullCable() {
  std::lock_guard lock(mutex_);
  Drop();
}

void LoaderPort::FailWritesAfter(size_t bytes) {
  std::lock_guard lock(mutex_);
  failAfter_ = writtenCount_ + bytes;
}

void LoaderPort::KeepWritten(bool keep) {
  std::lock_guard lock(mutex_);
  keepWritten_ = keep;
}

std::string LoaderPort::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

size_t LoaderPort::WrittenCount() const {
  std::lock_guard lock(mutex_);
  return writtenCount_;
}

bool LoaderPort::WaitWritten(size_t count, uint32_t ms) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, common::DeadlineAfter(ms), [&] { return writtenCount_ >= count; });
}

bool LoaderPort::Closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void LoaderPort::Send(std::span<const uint8_t> bytes) {
  inbound_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  changed_.notify_all();
}

void LoaderPort::Drop() {
  dropped_ = true;
  inbound_.clear();
  changed_.notify_all();
}

}  // namespace corvash::test
