#pragma once
// How `ctl` and `fault` reach a running handheld: a Unix stream socket in
// its state folder (control.sock, mode 0600). A client connects, writes one
// request line ("ctl bootloader", "fault drop-after-records 3") and reads
// one answer line, "ok" or "error <reason>", written once the request has
// been carried out. One request per connection, served one at a time.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace corvash::emulator {

class ControlServer {
 public:
  // Answers a request line (without its LF) with "ok" or "error <reason>".
  using Handler = std::function<std::string(std::string_view request)>;

  // Listens on `socketPath` (a stale socket file there is replaced) and serves
  // requests on a thread of its own. Null with `error` when it cannot listen.
  static std::unique_ptr<ControlServer> Start(const std::filesystem::path& socketPath, Handler handler,
                                              std::string* error);
  // Stops serving, waits for the thread and removes the socket file.
  ~ControlServer();

 private:
  ControlServer() = default;
  void Serve();
  void Answer(int connection);

  std::filesystem::path path_;
  Handler handler_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
};

// Sends `request` to the handheld listening on `socketPath` and returns its
// answer line. nullopt when nobody listens there (no running handheld);
// an answer of "error ..." when the exchange broke off.
std::optional<std::string> SendControlRequest(const std::filesystem::path& socketPath,
                                              std::string_view request);

}  // namespace corvash::emulator
