#pragma once
// `run`'s side of the desktop sync software's stand-ins, wcesmgr.exe and
// wcescomm.exe. Every such process, whoever started it, attaches to
// STATE/sync.sock and stays connected while it lives: the hub knows which of
// them run, and notices at once when one ends (its connection closes, as
// when the desktop kills it).
//
// Lines on a connection:
//   process -> hub   "attach wcescomm.exe" or "attach wcesmgr.exe"
//   hub -> process   "ok", or "error <reason>" when one of that name is
//                    attached already (the newcomer then ends)
//   process -> hub   "up" once its window is registered (and, for
//                    wcescomm.exe, once it has looked at the handheld)
//   hub -> wcescomm.exe  "refresh": look at the handheld again (mode, cable,
//                    port); it answers "ok" once it has
// A process ends normally on SIGTERM or when its connection closes.
//
// When wcescomm.exe attaches and no wcesmgr.exe runs, the hub starts one:
// the connection program brings the manager with it. The hub reaps the
// processes it started. All public calls are thread-safe.
#include <sys/types.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvash::emulator {

inline constexpr const char* kCommProgram = "wcescomm.exe";
inline constexpr const char* kManagerProgram = "wcesmgr.exe";

struct SyncHubConfig {
  std::filesystem::path socket;      // STATE/sync.sock
  std::filesystem::path programDir;  // holds wcescomm.exe and wcesmgr.exe
  std::filesystem::path prefix;      // CORVASH_PREFIX of the processes it starts
  // wcescomm.exe, which holds the port, has ended. Called on the hub's thread
  // with no lock of the hub held.
  std::function<void()> commGone;
};

class SyncHub {
 public:
  // Listens on the socket (a stale one is replaced). Null with `error` when
  // it cannot, or when a program is missing from programDir.
  static std::unique_ptr<SyncHub> Start(SyncHubConfig config, std::string* error);
  // Ends every attached process (SIGTERM; SIGKILL once the time limit has
  // passed), reaps its own, and removes the socket.
  ~SyncHub();
  SyncHub(const SyncHub&) = delete;
  SyncHub& operator=(const SyncHub&) = delete;

  // Starts whichever of the two does not run, waits until both are up,
  // then refreshes. False with `error` when one does not come up in time.
  bool StartMissing(std::string* error);
  // Has wcescomm.exe look at the handheld again and waits until it has (or
  // the time limit has passed). Returns at once when none is attached.
  void Refresh();
  bool CommAttached() const;
  // The processes attached now, by program name.
  std::vector<std::pair<std::string, pid_t>> Attached() const;

 private:
  struct Connection {
    int fd = -1;
    pid_t pid = 0;
    std::string program;
    bool up = false;
  };
  SyncHub() = default;
  void Serve();
  void Accept();
  // Drops the connection of a process that ended; true when it was wcescomm.exe.
  bool CheckClosed(int fd);
  bool Spawn(const std::string& program, std::string* error);  // mutex_ held
  bool RunsLocked(const std::string& program);                 // mutex_ held
  void ReapLocked(bool wait);                                  // mutex_ held
  Connection* FindLocked(std::string_view program);            // mutex_ held

  SyncHubConfig config_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable attached_;
  std::vector<Connection> connections_;
  std::vector<std::pair<pid_t, std::string>> children_;  // started here, not yet reaped
};

}  // namespace corvash::emulator
