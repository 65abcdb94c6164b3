#include "emulator/sync/sync_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <memory>

#include "common/local_socket.h"
#include "emulator/handheld_state.h"
#include "emulator/served_prefix.h"
#include "emulator/socket_lines.h"
#include "emulator/sync/comm_service.h"
#include "emulator/toplevel_windows.h"

namespace corvash::emulator::sync {
namespace {

constexpr uint32_t kAnswerWaitMs = 60000;
constexpr int kEnded = 0;
constexpr int kNotServed = 1;

// A connection to the serving k5210-emu's sync socket; -1 when nobody listens.
int Connect(const std::filesystem::path& socket) {
  return common::ConnectLocal(socket);
}

// Serves the hub's lines until a stop signal or the end of the connection.
void Live(int link, int signals, CommService* comm) {
  for (;;) {
    pollfd fds[2] = {{link, POLLIN, 0}, {signals, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if ((fds[1].revents & POLLIN) != 0) return;
    if (fds[0].revents == 0) continue;
    const auto line = ReadSocketLine(link, kAnswerWaitMs);
    if (!line) return;
    if (*line == "refresh") {
      if (comm != nullptr) comm->Refresh();
      SendSocketLine(link, "ok");
    }
  }
}

}  // namespace

int RunSyncProcess(const SyncProcessRole& role) {
  const std::string me = role.program;
  // Stop signals are read from a descriptor; blocked before any thread starts.
  sigset_t stops;
  sigemptyset(&stops);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signal);
  ::sigprocmask(SIG_BLOCK, &stops, nullptr);
  const int signals = ::signalfd(-1, &stops, SFD_CLOEXEC);

  const std::filesystem::path prefix = PrefixFromEnvironment();
  const auto served = ReadServedHandheld(prefix);
  const int link = served ? Connect(StateFolder(served->state).SyncSocketPath()) : -1;
  if (link < 0 || signals < 0) {
    std::cerr << me << ": no handheld is served in " << prefix.string() << "\n";
    if (link >= 0) ::close(link);
    return kNotServed;
  }
  SendSocketLine(link, "attach " + me);
  const auto answer = ReadSocketLine(link, kAnswerWaitMs);
  if (answer != "ok") {
    // One of its name runs already (the desktop started it twice): nothing to do.
    std::cerr << me << ": " << answer.value_or("the handheld did not answer") << "\n";
    ::close(link);
    return answer ? kEnded : kNotServed;
  }
  std::string error;
  auto window = TopLevelWindow::Register(prefix, role.title, &error);
  if (!window) std::cerr << me << ": " << error << "\n";
  std::unique_ptr<CommService> comm;
  if (role.holdsPort) {
    comm = std::make_unique<CommService>(prefix, *served);
    comm->Refresh();
  }
  SendSocketLine(link, "up");
  Live(link, signals, comm.get());
  // The connection closes last: the hub takes its end for the end of the process.
  comm.reset();
  window.reset();
  ::close(link);
  ::close(signals);
  return kEnded;
}

}  // namespace corvash::emulator::sync
