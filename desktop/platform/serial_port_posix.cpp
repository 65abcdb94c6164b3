#include "desktop/platform/serial_port_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace corvash::platform {

using common::kInfinite;
using common::ScaledDuration;

namespace {

bool IsAccessDenied(int error) {
  return error == EACCES || error == EPERM || error == EBUSY || error == EWOULDBLOCK;
}

void CloseQuietly(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace

bool IsLinkLossError(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

PortOpenResult OpenSerialPort(const std::filesystem::path& path) { return PosixSerialPort::Open(path); }

PortOpenResult PosixSerialPort::Open(const std::filesystem::path& path) {
  PortOpenResult result;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    result.error = errno;
    result.accessDenied = IsAccessDenied(result.error);
    return result;
  }
  // The lock first: TIOCEXCL belongs to the device, not to our descriptor,
  // and must not be set on a port that someone else holds.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    result.error = errno;
    result.accessDenied = IsAccessDenied(result.error);
    ::close(fd);
    return result;
  }
  if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
    result.error = errno;
    result.accessDenied = IsAccessDenied(result.error);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return result;
  }
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    result.error = errno;
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return result;
  }
  result.port = std::shared_ptr<SerialPort>(new PosixSerialPort(fd, wake[0], wake[1]));
  return result;
}

PosixSerialPort::PosixSerialPort(int fd, int wakeRead, int wakeWrite)
    : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite) {}

PosixSerialPort::~PosixSerialPort() {
  Close();
  CloseQuietly(fd_);
  CloseQuietly(wakeRead_);
  CloseQuietly(wakeWrite_);
}

bool PosixSerialPort::Configure() {
  if (closed_.load()) return false;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) {
    Fail(errno);
    return false;
  }
  // Only the fields the loader's line needs change.
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  // With O_NONBLOCK this makes "nothing yet" EAGAIN and end of file a hang-up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0 ||
      ::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    Fail(errno);
    return false;
  }
  return RaiseModemLines(TIOCM_DTR) && RaiseModemLines(TIOCM_RTS);
}

bool PosixSerialPort::RaiseModemLines(int bits) {
  if (::ioctl(fd_, TIOCMBIS, &bits) == 0) return true;
  const int error = errno;
  if (error == ENOTTY || error == EINVAL) return true;  // no modem lines (a pty)
  Fail(error);
  return !IsLinkLossError(error);
}

long PosixSerialPort::ReadAvailable(uint8_t* buffer, size_t capacity) {
  if (closed_.load()) return -1;
  if (capacity == 0) return 0;
  for (;;) {
    const ssize_t count = ::read(fd_, buffer, capacity);
    if (count > 0) return static_cast<long>(count);
    if (count == 0) {  // hung up: the device or the pty's far end is gone
      Fail(EIO);
      return -1;
    }
    const int error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) return 0;
    Fail(error);
    return -1;
  }
}

short PosixSerialPort::WaitFor(short events, long long timeoutNs) {
  pollfd fds[2] = {{fd_, events, 0}, {wakeRead_, POLLIN, 0}};
  timespec limit{};
  timespec* limitPtr = nullptr;
  if (timeoutNs >= 0) {
    limit.tv_sec = static_cast<time_t>(timeoutNs / 1000000000LL);
    limit.tv_nsec = static_cast<long>(timeoutNs % 1000000000LL);
    limitPtr = &limit;
  }
  const int ready = ::ppoll(fds, 2, limitPtr, nullptr);
  if (ready <= 0) return 0;
  return fds[0].revents;
}

bool PosixSerialPort::WaitReadable(uint32_t ms) {
  if (closed_.load()) return true;
  const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(ScaledDuration(ms));
  const short revents = WaitFor(POLLIN, ms == kInfinite ? -1 : wait.count());
  return closed_.load() || revents != 0;
}

bool PosixSerialPort::WriteAll(const uint8_t* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    if (closed_.load()) {
      Fail(EBADF);
      return false;
    }
    const ssize_t count = ::write(fd_, data + done, length - done);
    if (count > 0) {
      done += static_cast<size_t>(count);
      continue;
    }
    const int error = count < 0 ? errno : EIO;
    if (error == EINTR) continue;
    if (error != EAGAIN && error != EWOULDBLOCK) {
      Fail(error);
      return false;
    }
    // The output queue is full: wait until it drains (or Close wakes us).
    const short revents = WaitFor(POLLOUT, -1);
    if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (revents & POLLOUT) == 0) {
      Fail(EIO);
      return false;
    }
  }
  return true;
}

bool PosixSerialPort::Alive() {
  if (closed_.load()) return false;
  int rts = TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIS, &rts) != 0) {
    const int error = errno;
    if (IsLinkLossError(error)) {
      Fail(error);
      return false;
    }
  }
  pollfd fd{fd_, 0, 0};
  if (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    Fail(EIO);
    return false;
  }
  return true;
}

void PosixSerialPort::Close() {
  if (closed_.exchange(true)) return;
  // Release the port to the next opener now; the descriptor follows when
  // the last owner lets go.
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  const uint8_t wake = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &wake, 1);
}

}  // namespace corvash::platform
