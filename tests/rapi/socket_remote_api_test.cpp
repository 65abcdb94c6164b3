// The desktop's client against the handheld's device end over a real socket
// and a real file store in a temporary folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/device_errors.h"
#include "common/store_file.h"
#include "rapi/device_server.h"
#include "rapi/message_stream.h"
#include "rapi/socket_remote_api.h"

namespace corvash::rapi {
namespace {

namespace fs = std::filesystem;
constexpr uint32_t kWaitMs = 100000;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "rapiXXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code code;
    fs::remove_all(path_, code);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

class RemoteApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Store() / "Windows");
    fs::create_directories(Store() / "Temp");
    StartServer();
  }
  void StartServer() {
    DeviceEndConfig config;
    config.storeRoot = Store();
    config.stateDir = temp_.Path();
    std::string error;
    server_ = DeviceServer::Start(Socket(), config, &error);
    ASSERT_NE(server_, nullptr) << error;
  }
  fs::path Store() const { return temp_.Path() / "files"; }
  fs::path Socket() const { return temp_.Path() / "rapi.sock"; }

  // Starts a session and waits for its link.
  void Link(SocketRemoteApi& api) {
    RapiInitRecord init;
    ASSERT_EQ(api.CeRapiInitEx(init), S_OK);
    ASSERT_TRUE(init.heRapiInit->Wait(kWaitMs));
  }
  // Copies `bytes` to the device as the desktop does; true when the device holds them.
  static bool Copy(RemoteApi& api, const std::u16string& path, const std::vector<uint8_t>& bytes) {
    const CeHandle file = api.CeCreateFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (file == kInvalidHandle) return false;
    uint32_t done = 0;
    const bool written = api.CeWriteFile(file, bytes, done) != 0 && done == bytes.size();
    return api.CeCloseHandle(file) != 0 && written;
  }

  TempFolder temp_;
  std::unique_ptr<DeviceServer> server_;
};

TEST_F(RemoteApiTest, FilesRoundTripUnderTheHandheldsSharingRules) {
  SocketRemoteApi desktop(Socket());
  SocketRemoteApi watcher(Socket());  // a second connection, as a second desktop thread might hold
  Link(desktop);
  Link(watcher);

  // A copy lands in the store; the store ignores letter case.
  std::vector<uint8_t> bytes(300000);
  std::iota(bytes.begin(), bytes.end(), uint8_t{7});
  ASSERT_TRUE(Copy(desktop, u"\\Temp\\backup.exe", bytes));
  EXPECT_EQ(fs::file_size(Store() / "Temp" / "backup.exe"), bytes.size());
  CeHandle file = desktop.CeCreateFile(u"\\temp\\BACKUP.EXE", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  ASSERT_NE(file, kInvalidHandle);
  std::vector<uint8_t> back(bytes.size() + 10);
  uint32_t done = 0;
  ASSERT_NE(desktop.CeReadFile(file, back, done), 0);
  ASSERT_EQ(done, bytes.size());
  back.resize(done);
  EXPECT_EQ(back, bytes);

  // Opened with share-read only: a writer is refused, a reader is not.
  EXPECT_EQ(watcher.CeCreateFile(u"\\Temp\\backup.exe", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, 0),
            kInvalidHandle);
  EXPECT_EQ(watcher.CeGetLastError(), common::ERROR_SHARING_VIOLATION);
  const CeHandle reader = watcher.CeCreateFile(u"\\Temp\\backup.exe", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  EXPECT_NE(reader, kInvalidHandle);
  // A replacing copy must not cut the open file short.
  EXPECT_FALSE(Copy(watcher, u"\\Temp\\backup.exe", {1, 2, 3}));
  EXPECT_EQ(fs::file_size(Store() / "Temp" / "backup.exe"), bytes.size());
  EXPECT_EQ(watcher.CeDeleteFile(u"\\Temp\\backup.exe"), 0);
  EXPECT_NE(watcher.CeCloseHandle(reader), 0);
  EXPECT_NE(desktop.CeCloseHandle(file), 0);
  EXPECT_EQ(desktop.CeCloseHandle(file), 0);  // closed once only

  // Create-new fails while the file exists; create-always says it existed.
  EXPECT_EQ(desktop.CeCreateFile(u"\\Temp\\backup.exe", GENERIC_WRITE, 0, CREATE_NEW, 0), kInvalidHandle);
  EXPECT_EQ(desktop.CeGetLastError(), common::ERROR_FILE_EXISTS);
  file = desktop.CeCreateFile(u"\\Temp\\backup.exe", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
  ASSERT_NE(file, kInvalidHandle);
  EXPECT_EQ(desktop.CeGetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_NE(desktop.CeCloseHandle(file), 0);
  EXPECT_EQ(fs::file_size(Store() / "Temp" / "backup.exe"), 0u);

  // Move, then delete once closed everywhere.
  EXPECT_NE(desktop.CeMoveFile(u"\\Temp\\backup.exe", u"\\Windows\\moved.exe"), 0);
  EXPECT_TRUE(fs::exists(Store() / "Windows" / "moved.exe"));
  EXPECT_NE(desktop.CeDeleteFile(u"\\windows\\MOVED.exe"), 0);
  EXPECT_FALSE(fs::exists(Store() / "Windows" / "moved.exe"));
  EXPECT_EQ(desktop.CeCreateFile(u"\\Temp\\gone", GENERIC_READ, 0, OPEN_EXISTING, 0), kInvalidHandle);
  EXPECT_EQ(desktop.CeGetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(desktop.CeRapiGetError(), S_OK);  // the link itself worked throughout
}

// The chunk exchange with the device agent: the agent (another process, using
// the store's convention directly) holds image.nb without sharing while it
// writes; the desktop's open waits for the close; create-new waits for the
// desktop's delete.
TEST_F(RemoteApiTest, DeviceProgramAndDesktopShareTheChunkFile) {
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  const fs::path chunk = Store() / "Temp" / "image.nb";
  uint32_t error = 0;
  auto agent = common::StoreFile::Open(Store(), chunk, common::GENERIC_READ | common::GENERIC_WRITE, 0,
                                       common::CREATE_NEW, &error);
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(desktop.CeCreateFile(u"\\Temp\\image.nb", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0),
            kInvalidHandle);
  EXPECT_EQ(desktop.CeGetLastError(), common::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(desktop.CeDeleteFile(u"\\Temp\\image.nb"), 0);
  agent.reset();
  const CeHandle file = desktop.CeCreateFile(u"\\Temp\\image.nb", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
  ASSERT_NE(file, kInvalidHandle);
  EXPECT_EQ(common::StoreFile::Open(Store(), chunk, common::GENERIC_WRITE, 0, common::CREATE_NEW, &error),
            nullptr);
  EXPECT_EQ(error, common::ERROR_FILE_EXISTS);
  // While the desktop reads, the agent cannot take the file for writing either.
  EXPECT_EQ(common::StoreFile::Open(Store(), chunk, common::GENERIC_WRITE, 0, common::OPEN_EXISTING, &error),
            nullptr);
  EXPECT_EQ(error, common::ERROR_SHARING_VIOLATION);
  EXPECT_NE(desktop.CeCloseHandle(file), 0);
  EXPECT_NE(desktop.CeDeleteFile(u"\\Temp\\image.nb"), 0);
  EXPECT_NE(common::StoreFile::Open(Store(), chunk, common::GENERIC_WRITE, 0, common::CREATE_NEW, &error),
            nullptr);
}

TEST_F(RemoteApiTest, PathsLeavingTheStoreAreRefused) {
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  fs::create_symlink(temp_.Path(), Store() / "Temp" / "out");
  for (const std::u16string path : {u"\\..\\escape", u"\\Temp\\..\\..\\escape", u"..\\escape", u"C:\\escape",
                                    u"\\Temp\\out\\escape", u"\\Temp\\a:b", u"\\\\host\\escape"}) {
    EXPECT_EQ(desktop.CeCreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0), kInvalidHandle);
    EXPECT_EQ(desktop.CeGetLastError(), common::ERROR_INVALID_NAME);
    EXPECT_EQ(desktop.CeMoveFile(u"\\Temp\\x", path), 0);
  }
  // The length limit counts UTF-16 units: 207 units here, but 407 UTF-8 bytes.
  const std::u16string wide(100, u'\u00e9');
  fs::create_directories(Store() / "Temp" / fs::path(wide));
  const std::u16string deep = u"\\Temp\\" + wide + u"\\" + wide;
  const CeHandle file = desktop.CeCreateFile(deep, GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
  EXPECT_NE(file, kInvalidHandle);
  EXPECT_NE(desktop.CeCloseHandle(file), 0);
  EXPECT_EQ(desktop.CeCreateProcess(u"\\Temp\\out\\escape"), 0);
  EXPECT_FALSE(fs::exists(temp_.Path() / "escape"));
  EXPECT_FALSE(fs::exists(Store().parent_path() / "escape"));
}

// A raw client on the socket, to send what the real client never would.
class RawClient {
 public:
  explicit RawClient(const fs::path& socket) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Send(const std::vector<uint8_t>& bytes) { return wire::WriteAll(fd_, bytes, kWaitMs); }
  bool OpenAfter(int realMs) {
    pollfd wait{fd_, POLLIN, 0};
    return ::poll(&wait, 1, realMs) == 0;
  }
  // The kind of the next answer; 0 when none comes.
  uint16_t AnswerKind() {
    wire::RawMessage message;
    if (wire::ReadMessage(fd_, &message, kWaitMs, kWaitMs) != wire::ReadStatus::Ok) return 0;
    const auto answer = wire::DecodeAnswer(message.header.kind, message.payload);
    return answer ? answer->kind : 0;
  }

 private:
  int fd_;
  bool connected_ = false;
};

std::vector<uint8_t> Message(uint16_t kind, std::vector<uint8_t> payload, uint32_t length) {
  const auto header = wire::EncodeHeader({length, kind});
  payload.insert(payload.begin(), header.begin(), header.end());
  return payload;
}

TEST_F(RemoteApiTest, MalformedMessagesAreRefusedAndTheConnectionGoesOn) {
  RawClient raw(Socket());
  ASSERT_TRUE(raw.Connected());
  const uint16_t create = static_cast<uint16_t>(wire::MessageKind::CreateFile);
  const uint16_t hello = static_cast<uint16_t>(wire::MessageKind::Hello);
  // Too short for its fields: a path that claims more units than follow.
  ASSERT_TRUE(raw.Send(Message(create, {200, 0, 0, 0, 'a', 0}, 6)));
  EXPECT_EQ(raw.AnswerKind(), wire::kRefused);
  // Bytes left over after the fields.
  ASSERT_TRUE(raw.Send(Message(hello, {1, 0, 0, 0, 9}, 5)));
  EXPECT_EQ(raw.AnswerKind(), wire::kRefused);
  // Of an unknown kind, and an answer kind sent as a request.
  ASSERT_TRUE(raw.Send(Message(0x1234, {1, 2, 3}, 3)));
  EXPECT_EQ(raw.AnswerKind(), wire::kRefused);
  ASSERT_TRUE(raw.Send(Message(hello | wire::kAnswerBit, {}, 0)));
  EXPECT_EQ(raw.AnswerKind(), wire::kRefused);
  // Longer than any message may be: refused, its body dropped.
  const uint32_t tooLong = wire::kMaxPayload + 1;
  ASSERT_TRUE(raw.Send(Message(create, std::vector<uint8_t>(tooLong, 0x41), tooLong)));
  EXPECT_EQ(raw.AnswerKind(), wire::kRefused);
  // Still in step: a good request gets its own answer.
  wire::Request request;
  request.kind = wire::MessageKind::Hello;
  ASSERT_TRUE(raw.Send(wire::EncodeRequest(request)));
  EXPECT_EQ(raw.AnswerKind(), hello | wire::kAnswerBit);

  // A half header and a hang-up leave the handheld serving others.
  {
    RawClient cut(Socket());
    ASSERT_TRUE(cut.Send({1, 2, 3}));
  }
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  CePowerStatus status;
  EXPECT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_EQ(status.ACLineStatus, 1);
}

TEST_F(RemoteApiTest, LibrariesRunInAHelperThatMayFail) {
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  std::vector<uint8_t> output = {9};
  EXPECT_LT(desktop.CeRapiInvoke(u"Missing.dll", u"Echo", {}, output), 0);
  EXPECT_TRUE(output.empty());
  EXPECT_EQ(desktop.CeGetLastError(), common::ERROR_MOD_NOT_FOUND);

  std::ifstream library(RAPI_TEST_LIBRARY, std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(library)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(image.empty());
  ASSERT_TRUE(Copy(desktop, u"\\Windows\\Zembra.dll", image));
  // Named without a folder: found in \Windows.
  const std::vector<uint8_t> input = {1, 2, 3, 4, 5};
  EXPECT_EQ(desktop.CeRapiInvoke(u"zembra.DLL", u"Echo", input, output), 5);
  EXPECT_EQ(output, input);
  // Names the library does not define itself are not looked up in what it links.
  for (const std::u16string function : {u"NoSuchExport", u"exit", u"abort"}) {
    EXPECT_LT(desktop.CeRapiInvoke(u"Zembra.dll", function, input, output), 0);
    EXPECT_EQ(desktop.CeGetLastError(), common::ERROR_PROC_NOT_FOUND);
  }
  EXPECT_LT(desktop.CeRapiInvoke(u"Zembra.dll", u"Crash", input, output), 0);
  EXPECT_TRUE(output.empty());
  // The handheld lives on.
  EXPECT_EQ(desktop.CeRapiInvoke(u"Zembra.dll", u"Echo", {}, output), 0);
  EXPECT_TRUE(output.empty());
}

TEST_F(RemoteApiTest, StartedProgramRunsFromTheStoreWithTheStateFolder) {
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  const std::string script = "#!/bin/sh\necho \"$K5210_STATE\" > \"$K5210_STATE/started.tmp\"\n"
                             "mv \"$K5210_STATE/started.tmp\" \"$K5210_STATE/started\"\n";
  ASSERT_TRUE(Copy(desktop, u"\\Temp\\backup.exe", std::vector<uint8_t>(script.begin(), script.end())));
  EXPECT_NE(desktop.CeCreateProcess(u"\\Temp\\backup.exe"), 0);
  const fs::path marker = temp_.Path() / "started";
  const auto deadline = common::DeadlineAfter(kWaitMs);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline) common::SleepMs(10);
  std::ifstream in(marker);
  std::string named;
  std::getline(in, named);
  EXPECT_EQ(named, temp_.Path().string());
  EXPECT_EQ(desktop.CeCreateProcess(u"\\Temp\\missing.exe"), 0);
  EXPECT_EQ(desktop.CeGetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RemoteApiTest, WithoutTheSocketCallsFailAtOnceAndAStartWaitsForTheLink) {
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  server_.reset();  // the handheld leaves its system
  EXPECT_FALSE(fs::exists(Socket()));
  const uint64_t before = common::TickMs();
  EXPECT_EQ(desktop.CeCreateFile(u"\\Temp\\a", GENERIC_WRITE, 0, CREATE_ALWAYS, 0), kInvalidHandle);
  std::vector<uint8_t> output;
  EXPECT_LT(desktop.CeRapiInvoke(u"Zembra.dll", u"Echo", {}, output), 0);
  CePowerStatus status;
  EXPECT_EQ(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  EXPECT_EQ(desktop.CeGetLastError(), ERROR_NOT_CONNECTED);
  EXPECT_LT(desktop.CeRapiGetError(), 0);
  EXPECT_LT(common::TickMs() - before, 30000u);  // well below any exchange's time limit
  desktop.CeRapiUninit();

  // A start while no handheld answers: S_OK, but no link until it comes back.
  RapiInitRecord init;
  ASSERT_EQ(desktop.CeRapiInitEx(init), S_OK);
  EXPECT_FALSE(init.heRapiInit->Wait(1000));
  StartServer();
  EXPECT_TRUE(init.heRapiInit->Wait(kWaitMs));
  EXPECT_NE(desktop.CeGetSystemPowerStatusEx(status, 1), 0);
  desktop.CeRapiUninit();
}

TEST_F(RemoteApiTest, AtItsDescriptorLimitTheServerRecoversAndAnswers) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "this build's type checks open a pipe of their own, which a process out of descriptors lacks";
#endif
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
  std::vector<int> clients;  // numbered above the limit set below: closed, they free no room under it
  for (int i = 0, fd = -1; i < 40; ++i, ::close(fd)) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    clients.push_back(::fcntl(fd, F_DUPFD_CLOEXEC, static_cast<int>(std::min<rlim_t>(before.rlim_cur, 4096) - 64)));
  }
  const int lowestFree = ::dup(0);
  ::close(lowestFree);
  const rlimit low{static_cast<rlim_t>(lowestFree + 6), before.rlim_max};  // six connections' worth
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  sockaddr_un address{AF_UNIX, {}};
  std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
  for (size_t i = 0, done = 0; i < 2000 && done < clients.size(); ++i) {  // until the server has run out
    if (::connect(clients[done], reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) ++done;
    else common::SleepMs(100);
  }
  for (int fd : clients) ::close(fd);
  SocketRemoteApi desktop(Socket());
  Link(desktop);
  ::setrlimit(RLIMIT_NOFILE, &before);
}

TEST_F(RemoteApiTest, IdleSilentAndHalfSentConnectionsStayBounded) {
  wire::Request hello;
  hello.kind = wire::MessageKind::Hello;
  std::vector<std::unique_ptr<RawClient>> idle;
  for (size_t i = 0; i < 3 * DeviceServer::kMaxConnections; ++i) {
    idle.push_back(std::make_unique<RawClient>(Socket()));
    if (idle.back()->Send(wire::EncodeRequest(hello))) idle.back()->AnswerKind();
  }
  EXPECT_LE(std::count_if(idle.begin(), idle.end(), [](auto& c) { return c->OpenAfter(0); }),
            static_cast<long>(DeviceServer::kMaxConnections));
  SocketRemoteApi desktop(Socket());  // let in once the oldest has idled long enough
  Link(desktop);
  idle.clear();
  RawClient silent(Socket());
  RawClient halfway(Socket());
  ASSERT_TRUE(halfway.Send({1, 2, 3}));  // inside a header
  EXPECT_FALSE(silent.OpenAfter(20000));
  EXPECT_FALSE(halfway.OpenAfter(20000));
}

}  // namespace
}  // namespace corvash::rapi
