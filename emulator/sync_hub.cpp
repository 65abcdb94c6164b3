#include "emulator/sync_hub.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/clock.h"
#include "common/local_socket.h"
#include "emulator/socket_lines.h"

extern char** environ;

namespace corvash::emulator {
namespace {

constexpr uint32_t kAttachLineMs = 5000;     // a process says who it is at once
constexpr uint32_t kStartLimitMs = 300000;   // both attached after a start
constexpr uint32_t kRefreshLimitMs = 120000; // wcescomm.exe has looked at the handheld
constexpr uint32_t kEndLimitMs = 30000;      // processes gone after SIGTERM
constexpr uint32_t kReapLimitMs = 5000;      // a child whose connection closed is reapable
constexpr size_t kMaxLine = 128;

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

bool Executable(const std::filesystem::path& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::unique_ptr<SyncHub> SyncHub::Start(SyncHubConfig config, std::string* error) {
  for (const char* program : {kCommProgram, kManagerProgram}) {
    if (!Executable(config.programDir / program)) {
      *error = "no program " + (config.programDir / program).string();
      return nullptr;
    }
  }
  std::unique_ptr<SyncHub> hub(new SyncHub());
  hub->config_ = std::move(config);
  if (::pipe2(hub->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    *error = std::string("cannot make the sync socket: ") + std::strerror(errno);
    return nullptr;
  }
  hub->listen_ = common::ListenLocal(hub->config_.socket, 8, error);
  if (hub->listen_ < 0) return nullptr;
  hub->thread_ = std::thread([raw = hub.get()] { raw->Serve(); });
  return hub;
}

SyncHub::~SyncHub() {
  if (wake_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(mutex_);
  for (const Connection& connection : connections_) ::kill(connection.pid, SIGTERM);
  for (const auto& child : children_) ::kill(child.first, SIGTERM);
  // A process that ends closes its connection.
  const auto deadline = common::DeadlineAfter(kEndLimitMs);
  std::vector<Connection> left = connections_;
  while (!left.empty() && MillisecondsLeft(deadline) > 0) {
    pollfd fds{left.front().fd, POLLIN, 0};
    if (::poll(&fds, 1, MillisecondsLeft(deadline)) <= 0) continue;
    char buffer[kMaxLine];
    if (::recv(left.front().fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0 || (fds.revents & POLLHUP) != 0) {
      left.erase(left.begin());
    }
  }
  for (const Connection& connection : left) ::kill(connection.pid, SIGKILL);
  for (const Connection& connection : connections_) ::close(connection.fd);
  connections_.clear();
  ReapLocked(false);
  for (const auto& child : children_) ::kill(child.first, SIGKILL);
  ReapLocked(true);
  if (listen_ >= 0) {
    ::close(listen_);
    ::unlink(config_.socket.c_str());
  }
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
}

void SyncHub::Serve() {
  for (;;) {
    std::vector<pollfd> fds = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    {
      std::lock_guard lock(mutex_);
      for (const Connection& connection : connections_) fds.push_back({connection.fd, POLLIN, 0});
    }
    const int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) != 0) Accept();
    for (size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents != 0 && CheckClosed(fds[i].fd) && config_.commGone) config_.commGone();
    }
  }
}

void SyncHub::Accept() {
  const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  const auto line = ReadSocketLine(fd, kAttachLineMs);
  ucred peer{};
  socklen_t length = sizeof peer;
  const bool known = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid > 0;
  std::string program = line && line->rfind("attach ", 0) == 0 ? line->substr(7) : std::string();
  if (!known || (program != kCommProgram && program != kManagerProgram)) {
    SendSocketLine(fd, "error expected \"attach wcescomm.exe\" or \"attach wcesmgr.exe\"");
    ::close(fd);
    return;
  }
  std::lock_guard lock(mutex_);
  if (FindLocked(program) != nullptr) {
    SendSocketLine(fd, "error " + program + " runs already");
    ::close(fd);
    return;
  }
  connections_.push_back({fd, peer.pid, program});
  SendSocketLine(fd, "ok");
  std::string error;
  if (program == kCommProgram && !RunsLocked(kManagerProgram)) Spawn(kManagerProgram, &error);
  attached_.notify_all();
}

bool SyncHub::CheckClosed(int fd) {
  std::lock_guard lock(mutex_);
  // Refresh may have taken what woke us: look again.
  pollfd fds{fd, POLLIN, 0};
  if (::poll(&fds, 1, 0) <= 0) return false;
  char buffer[kMaxLine];
  const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  const auto it = std::find_if(connections_.begin(), connections_.end(), [fd](const Connection& c) { return c.fd == fd; });
  if (it == connections_.end()) return false;
  if (count > 0) {
    // "up" (or the late answer to a refresh that timed out): up either way.
    it->up = true;
    attached_.notify_all();
    return false;
  }
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) return false;
  const Connection gone = *it;
  connections_.erase(it);
  ::close(gone.fd);
  // A child of ours is a zombie a moment after its connection closed; the
  // desktop's process list must not find it.
  const auto deadline = common::DeadlineAfter(kReapLimitMs);
  for (;;) {
    ReapLocked(false);
    const bool ours = std::any_of(children_.begin(), children_.end(), [&](const auto& c) { return c.first == gone.pid; });
    if (!ours || MillisecondsLeft(deadline) == 0) break;
    common::SleepMs(1);
  }
  return gone.program == kCommProgram;
}

bool SyncHub::Spawn(const std::string& program, std::string* error) {
  // Everything the child needs is made before the fork.
  const std::string path = (config_.programDir / program).string();
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "CORVASH_PREFIX=", 15) != 0) environment.emplace_back(*entry);
  }
  environment.push_back("CORVASH_PREFIX=" + config_.prefix.string());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
  sigset_t none;
  sigemptyset(&none);
  const pid_t pid = ::fork();
  if (pid < 0) {
    *error = std::string("cannot start ") + program + ": " + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    // run blocks its stop signals for its signal thread; the program gets none blocked.
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
    }
    ::execve(path.c_str(), argv, envp.data());
    ::_exit(127);
  }
  children_.emplace_back(pid, program);
  return true;
}

void SyncHub::ReapLocked(bool wait) {
  std::erase_if(children_, [wait](const auto& child) {
    pid_t done = 0;
    do {
      done = ::waitpid(child.first, nullptr, wait ? 0 : WNOHANG);
    } while (done < 0 && errno == EINTR);
    return done != 0;  // reaped, or not ours to wait for any more
  });
}

bool SyncHub::RunsLocked(const std::string& program) {
  ReapLocked(false);
  return FindLocked(program) != nullptr ||
         std::any_of(children_.begin(), children_.end(), [&](const auto& c) { return c.second == program; });
}

SyncHub::Connection* SyncHub::FindLocked(std::string_view program) {
  const auto it = std::find_if(connections_.begin(), connections_.end(),
                               [program](const Connection& c) { return c.program == program; });
  return it == connections_.end() ? nullptr : &*it;
}

bool SyncHub::StartMissing(std::string* error) {
  {
    std::unique_lock lock(mutex_);
    for (const char* program : {kCommProgram, kManagerProgram}) {
      if (!RunsLocked(program) && !Spawn(program, error)) return false;
    }
    const bool up = attached_.wait_until(lock, common::DeadlineAfter(kStartLimitMs), [this] {
      const Connection* comm = FindLocked(kCommProgram);
      const Connection* manager = FindLocked(kManagerProgram);
      return comm != nullptr && comm->up && manager != nullptr && manager->up;
    });
    if (!up) {
      *error = "the sync software did not come up";
      return false;
    }
  }
  Refresh();
  return true;
}

void SyncHub::Refresh() {
  std::lock_guard lock(mutex_);
  Connection* comm = FindLocked(kCommProgram);
  if (comm == nullptr) return;
  SendSocketLine(comm->fd, "refresh");
  // A process that ended answers nothing; one coming up says so first.
  for (auto line = ReadSocketLine(comm->fd, kRefreshLimitMs); line; line = ReadSocketLine(comm->fd, kRefreshLimitMs)) {
    comm->up = true;
    if (*line == "ok") break;
  }
  attached_.notify_all();
}

bool SyncHub::CommAttached() const {
  std::lock_guard lock(mutex_);
  return std::any_of(connections_.begin(), connections_.end(), [](const Connection& c) { return c.program == kCommProgram; });
}

std::vector<std::pair<std::string, pid_t>> SyncHub::Attached() const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::string, pid_t>> attached;
  for (const Connection& connection : connections_) attached.emplace_back(connection.program, connection.pid);
  return attached;
}

}  // namespace corvash::emulator
