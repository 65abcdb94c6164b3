#pragma once
// A child process for the tests that run the real programs: its standard
// output is read through a pipe, its exit status waited for with a limit;
// a child still running at the end is killed and reaped.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/clock.h"

namespace corvash::emulator::test {

// Long enough for init under a sanitizer on a loaded machine; only a failing test waits it out.
inline constexpr uint32_t kChildLimitMs = 3000000;

class Child {
 public:
  // `environment`: extra NAME=VALUE entries on top of this process's.
  explicit Child(std::vector<std::string> args, const std::vector<std::string>& environment = {}) {
    // Everything the child needs is made before the fork.
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipe_fds[1], STDOUT_FILENO);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(pipe_fds[1]);
    out_ = pipe_fds[0];
  }
  ~Child() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // One line of its output, without the LF; empty when none came in time.
  std::string ReadLine() {
    std::string line;
    const auto deadline = common::DeadlineAfter(kChildLimitMs);
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd fds{out_, POLLIN, 0};
      if (::poll(&fds, 1, 100) <= 0) continue;
      if (::read(out_, &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    return line;
  }
  // Its exit status (128 + N for signal N), or -1 when it did not end in time.
  int Wait() {
    const auto deadline = common::DeadlineAfter(kChildLimitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
      }
      common::SleepMs(10);
    }
    return -1;
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int status_ = -1;
};

}  // namespace corvash::emulator::test
