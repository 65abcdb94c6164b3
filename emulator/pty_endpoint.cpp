#include "emulator/pty_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/clock.h"
#include "emulator/port_busy.h"

namespace corvash::emulator {
namespace {

constexpr std::array<std::string_view, 4> kPortNames = {"com1", "com2", "wceusbsh001", "wceusbsh002"};
constexpr size_t kUnthrottledRead = 65536;

std::string ErrnoText(const char* what, int error) { return std::string(what) + ": " + std::strerror(error); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Links `link` to `target`, replacing what was there in one rename.
bool PlaceLink(const std::filesystem::path& link, const std::filesystem::path& target, std::string* error) {
  std::error_code code;
  std::filesystem::create_directories(link.parent_path(), code);
  if (code) {
    *error = "cannot make " + link.parent_path().string() + ": " + code.message();
    return false;
  }
  const std::filesystem::path temporary =
      link.parent_path() / ("." + link.filename().string() + "." + std::to_string(::getpid()));
  std::filesystem::remove(temporary, code);
  std::filesystem::create_symlink(target, temporary, code);
  if (!code) std::filesystem::rename(temporary, link, code);
  if (code) {
    std::filesystem::remove(temporary, code);
    *error = "cannot link " + link.string() + ": " + code.message();
    return false;
  }
  return true;
}

}  // namespace

bool ValidPortName(std::string_view port) {
  for (auto name : kPortNames) {
    if (name == port) return true;
  }
  return false;
}

std::unique_ptr<PtyEndpoint> PtyEndpoint::Open(const std::filesystem::path& prefix, std::string_view port,
                                               uint32_t baud, std::string* error) {
  if (!ValidPortName(port)) {
    *error = "unknown port \"" + std::string(port) + "\" (com1, com2, wceusbsh001, wceusbsh002)";
    return nullptr;
  }
  std::unique_ptr<PtyEndpoint> endpoint(new PtyEndpoint());
  endpoint->inPacer_ = LinePacer(baud);
  endpoint->outPacer_ = LinePacer(baud);
  endpoint->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (endpoint->master_ < 0 || ::grantpt(endpoint->master_) != 0 || ::unlockpt(endpoint->master_) != 0) {
    *error = ErrnoText("cannot make a pty", errno);
    return nullptr;
  }
  char name[128];
  if (::ptsname_r(endpoint->master_, name, sizeof name) != 0) {
    *error = ErrnoText("cannot name the pty", errno);
    return nullptr;
  }
  endpoint->slavePath_ = name;
  // Raw both ways: no echo by the line discipline, no CR/LF rewriting.
  termios settings{};
  if (::tcgetattr(endpoint->master_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(endpoint->master_, TCSANOW, &settings);
  }
  ::fcntl(endpoint->master_, F_SETFL, ::fcntl(endpoint->master_, F_GETFL) | O_NONBLOCK);
  endpoint->slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (endpoint->slaveHold_ < 0) {
    *error = ErrnoText("cannot open the pty's slave", errno);
    return nullptr;
  }
  if (::pipe2(endpoint->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = ErrnoText("cannot make a pipe", errno);
    return nullptr;
  }
  const auto link = prefix / "dosdevices" / std::string(port);
  if (!PlaceLink(link, endpoint->slavePath_, error)) return nullptr;
  endpoint->linkPath_ = link;
  endpoint->linked_ = true;
  return endpoint;
}

PtyEndpoint::~PtyEndpoint() {
  Close();
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
}

void PtyEndpoint::Interrupt() {
  std::lock_guard lock(closeMutex_);
  interrupted_ = true;
  if (wake_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
  }
}

bool PtyEndpoint::WaitFor(int fd, short events) {
  while (!interrupted_) {
    pollfd fds[2] = {{fd, events, 0}, {wake_[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;
    if ((fds[0].revents & (events | POLLERR)) != 0) return true;
    if ((fds[0].revents & POLLHUP) != 0) {
      // Nobody holds the slave (should not happen while we hold it): do not spin.
      common::SleepMs(20);
    }
  }
  return false;
}

long PtyEndpoint::Read(uint8_t* buffer, size_t capacity) {
  if (inPacer_.Limited()) {
    capacity = std::min<size_t>(capacity, std::max<uint32_t>(1, inPacer_.BytesPerSecond() / 100));
  } else {
    capacity = std::min(capacity, kUnthrottledRead);
  }
  while (WaitFor(master_, POLLIN)) {
    const ssize_t count = ::read(master_, buffer, capacity);
    if (count > 0) {
      inPacer_.Pace(static_cast<size_t>(count));
      return interrupted_ ? 0 : static_cast<long>(count);
    }
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (count < 0 && errno == EIO) {
      common::SleepMs(20);  // no slave open for a moment
      continue;
    }
    return -1;
  }
  return 0;
}

void PtyEndpoint::Send(std::span<const uint8_t> bytes) {
  const size_t piece = outPacer_.Limited() ? std::max<uint32_t>(1, outPacer_.BytesPerSecond() / 100) : bytes.size();
  while (!bytes.empty() && !interrupted_) {
    const auto chunk = bytes.first(std::min(piece, bytes.size()));
    size_t done = 0;
    while (done < chunk.size()) {
      const ssize_t count = ::write(master_, chunk.data() + done, chunk.size() - done);
      if (count > 0) {
        done += static_cast<size_t>(count);
      } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        if (!WaitFor(master_, POLLOUT)) return;
      } else {
        return;
      }
    }
    outPacer_.Pace(chunk.size());
    bytes = bytes.subspan(chunk.size());
  }
}

bool PtyEndpoint::HoldBusy(std::string* error) {
  std::lock_guard lock(closeMutex_);
  if (busy_ >= 0) return true;
  if (master_ < 0) {
    *error = "the port is not there";
    return false;
  }
  busy_ = OpenPortBusy(slavePath_, error);
  return busy_ >= 0;
}

void PtyEndpoint::ReleaseBusy() {
  std::lock_guard lock(closeMutex_);
  ReleasePortBusy(busy_);
}

void PtyEndpoint::ForgetExclusiveMark() {
  std::lock_guard lock(closeMutex_);
  if (busy_ < 0 && slaveHold_ >= 0) ::ioctl(slaveHold_, TIOCNXCL);
}

void PtyEndpoint::Close() {
  ReleaseBusy();
  std::lock_guard lock(closeMutex_);
  if (linked_) {
    std::error_code code;
    if (std::filesystem::read_symlink(linkPath_, code) == slavePath_) std::filesystem::remove(linkPath_, code);
    linked_ = false;
  }
  CloseFd(slaveHold_);
  CloseFd(master_);
}

}  // namespace corvash::emulator
