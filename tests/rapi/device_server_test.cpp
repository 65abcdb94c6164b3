// The handheld's remote-API server under exhaustion, over real sockets: its
// descriptors run out, clients connect and say nothing, or stop halfway.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/store_file.h"
#include "rapi/device_server.h"
#include "rapi/message_stream.h"
#include "rapi/socket_remote_api.h"

namespace corvash::rapi {
namespace {

namespace fs = std::filesystem;

class DeviceServerLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rapi-limits-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "files" / "Temp");
  }
  void TearDown() override {
    for (int fd : clients_) ::close(fd);
    server_.reset();
    fs::remove_all(dir_);
  }
  fs::path Socket() const { return dir_ / "rapi.sock"; }
  std::unique_ptr<DeviceServer> StartServer() {
    DeviceEndConfig config;
    config.storeRoot = dir_ / "files";
    config.stateDir = dir_;
    std::string error;
    auto server = DeviceServer::Start(Socket(), config, &error);
    EXPECT_NE(server, nullptr) << error;
    return server;
  }
  // A raw connection, or -1 when the server's backlog is full.
  int Connect() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      return -1;
    }
    clients_.push_back(fd);
    return fd;
  }
  // True when the server has closed `fd` within `ms` (real milliseconds).
  static bool ClosedByServer(int fd, int ms) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, ms) <= 0) return false;
    char byte;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
  }
  // Whether the desktop's client links and a call crosses within `realMs`.
  bool DesktopGetsThrough(uint32_t realMs) {
    SocketRemoteApi desktop(Socket());
    RapiInitRecord init;
    desktop.CeRapiInitEx(init);
    const bool linked = init.heRapiInit->Wait(static_cast<uint32_t>(realMs / platform::TimeScale()));
    const CeHandle file = linked ? desktop.CeCreateFile(u"\\Temp\\x", GENERIC_WRITE, 0, CREATE_ALWAYS, 0) : kInvalidHandle;
    if (file != kInvalidHandle) desktop.CeCloseHandle(file);
    desktop.CeRapiUninit();
    return file != kInvalidHandle;
  }

  fs::path dir_;
  std::vector<int> clients_;
  std::unique_ptr<DeviceServer> server_;
};

TEST_F(DeviceServerLimitsTest, AtItsDescriptorLimitTheServerRecoversAndAnswers) {
  int stop[2];
  ASSERT_EQ(::pipe2(stop, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A server with a dozen descriptors to spare, until the test ends.
    ::close(stop[1]);
    const auto open = std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    const rlimit limit{static_cast<rlim_t>(open + 12), static_cast<rlim_t>(open + 12)};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(3);
    auto server = StartServer();
    char byte;
    while (::read(stop[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::_exit(server ? 0 : 4);
  }
  ::close(stop[0]);
  const auto deadline = platform::DeadlineAfter(static_cast<uint32_t>(20000 / platform::TimeScale()));
  while (!fs::exists(Socket()) && std::chrono::steady_clock::now() < deadline) ::usleep(1000);

  // More clients than it has descriptors: it runs out, and they all leave.
  for (int i = 0; i < 40; ++i) Connect();
  ::usleep(300000);
  for (int fd : clients_) ::close(fd);
  clients_.clear();

  EXPECT_TRUE(DesktopGetsThrough(20000));
  ::close(stop[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(DeviceServerLimitsTest, IdleSilentAndHalfSentConnectionsStayBounded) {
  server_ = StartServer();
  ASSERT_NE(server_, nullptr);
  wire::Request hello;
  hello.kind = wire::MessageKind::Hello;
  hello.number = wire::kProtocolVersion;
  const std::vector<uint8_t> helloBytes = wire::EncodeRequest(hello);

  // Three times as many idle clients as it serves: each says hello.
  std::vector<int> idle;
  for (size_t i = 0; i < 3 * DeviceServer::kMaxConnections; ++i) {
    const int fd = Connect();
    if (fd < 0) continue;
    wire::RawMessage answer;
    if (wire::WriteAll(fd, helloBytes, 100000) && wire::ReadMessage(fd, &answer, 100000, 100000) == wire::ReadStatus::Ok) {
      idle.push_back(fd);
    }
  }
  size_t open = 0;
  for (int fd : idle) open += ClosedByServer(fd, 0) ? 0 : 1;
  EXPECT_GE(open, 1u);
  EXPECT_LE(open, DeviceServer::kMaxConnections);
  // Once the oldest has idled long enough, the desktop is let in all the same.
  EXPECT_TRUE(DesktopGetsThrough(20000));

  // A client that says nothing, and one that stops inside a header, are let go.
  for (int fd : idle) ::shutdown(fd, SHUT_RDWR);
  const int silent = Connect();
  const int halfway = Connect();
  ASSERT_GE(silent, 0);
  ASSERT_GE(halfway, 0);
  ASSERT_TRUE(wire::WriteAll(halfway, std::span(helloBytes).first(3), 100000));
  EXPECT_TRUE(ClosedByServer(silent, 20000));
  EXPECT_TRUE(ClosedByServer(halfway, 20000));
}

}  // namespace
}  // namespace corvash::rapi
