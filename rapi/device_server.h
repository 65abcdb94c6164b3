#pragma once
// The handheld's side of the sync link: serves the remote API on a Unix
// stream socket (mode 0600), a thread and a DeviceSession per connection.
// Destroying the server closes the socket and every connection (the handheld
// left its system): the desktop's calls then fail at once.
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
  // Listens on `socketPath` (a stale socket there is replaced). Null with
  // `error` when it cannot.
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
