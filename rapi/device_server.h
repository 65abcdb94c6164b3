#pragma once
// The handheld's side of the sync link: serves the remote API on a Unix
// stream socket (mode 0600), a thread and a DeviceSession per connection.
// Destroying the server closes the socket and every connection (the handheld
// left its system): the desktop's calls then fail at once.
//
// It outlasts exhaustion: at most kMaxConnections are served at once, and
// one more is refused (closed at once) unless a served one has been idle
// for kIdleMs, which is then closed to make room; a connection must send its
// first message within kFirstMessageMs and finish a message it has begun
// within the body wait; when accept fails (out of descriptors) the server
// reaps what has ended and tries again after a pause; a connection whose
// thread cannot start is closed and the server goes on.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rapi/device_end.h"

namespace corvash::rapi {

class DeviceServer {
 public:
  static constexpr size_t kMaxConnections = 32;
  static constexpr uint32_t kFirstMessageMs = 30000;
  static constexpr uint32_t kIdleMs = 60000;

  // Listens on `socketPath` (a stale socket there is replaced; a served one
  // is not). Null with `error` when it cannot.
  static std::unique_ptr<DeviceServer> Start(const std::filesystem::path& socketPath, DeviceEndConfig config,
                                             std::string* error);
  // Stops listening, closes every connection, waits for their threads and
  // removes the socket file.
  ~DeviceServer();
  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;

 private:
  struct Connection;
  DeviceServer() = default;
  void Accept();
  // Waits on the wake pipe for `ms`; true when the server is being destroyed.
  bool StopRequested(int ms);
  void Admit(int fd);
  bool MakeRoomLocked();  // mutex_ held
  void Serve(Connection* connection);
  void ReapFinished();  // mutex_ held

  std::filesystem::path path_;
  DeviceEndConfig config_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  std::thread acceptor_;
  std::mutex mutex_;
  std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace corvash::rapi
