#pragma once
// A far end for the link tests: the master side of a real pty, served by a
// thread. By default it echoes what it receives as a boot loader does (CR
// echoed as CR LF); it can stay silent, answer with a handler of its own,
// and drop the link (close the master, as a pulled cable). Everything it
// receives is recorded.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace corvash::test {

class PtyPeer {
 public:
  enum class Mode { kEcho, kSilent, kHandler };
  // Gets the bytes received in one read; returns what to write back.
  using Handler = std::function<std::string(std::string_view received)>;

  explicit PtyPeer(Mode mode = Mode::kEcho, Handler handler = {});
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  // Path of the slave side (/dev/pts/N).
  const std::string& SlavePath() const { return slavePath_; }
  // Everything received so far.
  std::string Received() const;
  void ClearReceived();
  // Waits (real time, bounded) until Received() holds `count` bytes at least.
  bool WaitReceived(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  // Steady-clock time of the first byte received (epoch when none).
  std::chrono::steady_clock::time_point FirstByteTime() const;
  // Writes bytes to the desktop side.
  void Send(std::string_view bytes);
  // Closes the master: the slave sees a hang-up.
  void Drop();

 private:
  void Serve();

  Mode mode_;
  Handler handler_;
  int master_ = -1;
  std::string slavePath_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> dropped_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::chrono::steady_clock::time_point firstByte_{};
  std::mutex writeMutex_;
  std::thread thread_;
};

// Holds a port busy as another program would: the device open with the
// advisory lock taken.
class PortHolder {
 public:
  explicit PortHolder(const std::string& path);
  ~PortHolder();
  bool Held() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace corvash::test
