#include "rapi/message_stream.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "common/clock.h"

namespace corvash::rapi::wire {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` until `deadline`; false on time-out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    int wait = -1;
    if (deadline != Clock::time_point::max()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left < 0) return false;
      wait = static_cast<int>(std::min<long long>(left + 1, 1 << 30));
    }
    pollfd fds{fd, events, 0};
    const int ready = ::poll(&fds, 1, wait);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

enum class Fill { Ok, Closed, TimedOut };

Fill ReadExact(int fd, uint8_t* buffer, size_t size, Clock::time_point deadline) {
  size_t done = 0;
  while (done < size) {
    if (!WaitFor(fd, POLLIN, deadline)) return Fill::TimedOut;
    const ssize_t count = ::recv(fd, buffer + done, size - done, MSG_DONTWAIT);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) return Fill::Closed;
    done += static_cast<size_t>(count);
  }
  return Fill::Ok;
}

}  // namespace

ReadStatus ReadMessage(int fd, RawMessage* message, uint32_t headerWaitMs, uint32_t bodyWaitMs) {
  uint8_t header[kHeaderSize];
  const Fill head = ReadExact(fd, header, sizeof header, common::DeadlineAfter(headerWaitMs));
  if (head != Fill::Ok) return head == Fill::Closed ? ReadStatus::Closed : ReadStatus::TimedOut;
  message->header = *DecodeHeader(header);
  if (message->header.length > kMaxPayload) return ReadStatus::TooLong;
  message->payload.resize(message->header.length);
  const Fill body =
      ReadExact(fd, message->payload.data(), message->payload.size(), common::DeadlineAfter(bodyWaitMs));
  if (body != Fill::Ok) return body == Fill::Closed ? ReadStatus::Closed : ReadStatus::TimedOut;
  return ReadStatus::Ok;
}

bool WaitForInput(int fd, uint32_t waitMs) { return WaitFor(fd, POLLIN, common::DeadlineAfter(waitMs)); }

bool Discard(int fd, uint64_t count, uint32_t waitMs) {
  std::vector<uint8_t> sink(64 * 1024);
  const auto deadline = common::DeadlineAfter(waitMs);
  while (count > 0) {
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, sink.size()));
    if (ReadExact(fd, sink.data(), piece, deadline) != Fill::Ok) return false;
    count -= piece;
  }
  return true;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes, uint32_t waitMs) {
  const auto deadline = common::DeadlineAfter(waitMs);
  while (!bytes.empty()) {
    if (!WaitFor(fd, POLLOUT, deadline)) return false;
    const ssize_t count = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (count <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(count));
  }
  return true;
}

}  // namespace corvash::rapi::wire
