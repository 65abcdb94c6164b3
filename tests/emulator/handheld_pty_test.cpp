// The handheld served in-process on a real pty, reached as the desktop
// reaches it: through the prefix's dosdevices link and the desktop's own
// serial port code; acted on through its control socket as `ctl` and
// `fault` do.
#include "emulator/emulated_handheld.h"

#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "common/loader_wire.h"
#include "common/clock.h"
#include "desktop/platform/serial_port.h"
#include "emulator/control_socket.h"
#include "emulator/handheld_state.h"
#include "emulator/identity_record.h"
#include "tests/emulator/download_driver.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator {
namespace {

using common::DeadlineAfter;

// Long enough for a loaded machine; only a failing test waits it out.
constexpr uint32_t kAnswerLimitMs = 500000;

// The desktop's end: the port opened by the desktop's own code.
class DesktopSide {
 public:
  explicit DesktopSide(const std::filesystem::path& link) {
    auto opened = platform::OpenSerialPort(link);
    port_ = opened.port;
    error_ = opened.error;
    accessDenied_ = opened.accessDenied;
    if (port_) port_->Configure();
  }
  ~DesktopSide() {
    if (port_) port_->Close();
  }
  bool Open() const { return port_ != nullptr; }
  bool AccessDenied() const { return accessDenied_; }
  void Write(std::string_view bytes) {
    ASSERT_TRUE(port_->WriteAll(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  }
  // Reads until `count` bytes have come, the link fails or the limit passes.
  std::string Read(size_t count, uint32_t limitMs = kAnswerLimitMs) {
    const auto deadline = DeadlineAfter(limitMs);
    std::string got;
    uint8_t buffer[4096];
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      port_->WaitReadable(10);
      const long n = port_->ReadAvailable(buffer, std::min(sizeof buffer, count - got.size()));
      if (n < 0) {
        lost_ = true;
        break;
      }
      got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return got;
  }
  // Reads until what came ends with `marker` (or the link fails, or the limit passes).
  std::string ReadUntil(std::string_view marker) {
    std::string got;
    const auto deadline = DeadlineAfter(kAnswerLimitMs);
    while (!lost_ && std::chrono::steady_clock::now() < deadline &&
           (got.size() < marker.size() || got.compare(got.size() - marker.size(), marker.size(), marker) != 0)) {
      got += Read(1, 1000);
    }
    return got;
  }
  bool Lost() const { return lost_; }

 private:
  std::shared_ptr<platform::SerialPort> port_;
  int error_ = 0;
  bool accessDenied_ = false;
  bool lost_ = false;
};

class HandheldPtyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new test::TempFolder();
    InitOptions options;
    std::string error;
    ASSERT_TRUE(InitHandheld(State(), options, &error)) << error;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::filesystem::path State() { return folder_->Path() / "state"; }
  static std::filesystem::path Prefix() { return folder_->Path() / "prefix"; }

  // Opens the handheld in `mode`, its cable plugged, and serves it on `port`.
  void Serve(std::string_view mode, const std::string& port = "com1", ServeOptions options = {}) {
    std::string error;
    handheld_ = EmulatedHandheld::Open(State(), &error);
    ASSERT_TRUE(handheld_) << error;
    ASSERT_TRUE(handheld_->Control(mode, &error)) << error;
    ASSERT_TRUE(handheld_->Control("plug", &error)) << error;
    ASSERT_TRUE(handheld_->Start(Prefix(), port, &error, options)) << error;
  }
  void TearDown() override { handheld_.reset(); }

  std::string Request(const std::string& request) {
    return SendControlRequest(StateFolder(State()).ControlSocketPath(), request).value_or("nobody listens");
  }
  std::filesystem::path Link(const std::string& port = "com1") { return Prefix() / "dosdevices" / port; }

  static test::TempFolder* folder_;
  std::unique_ptr<EmulatedHandheld> handheld_;
};

test::TempFolder* HandheldPtyTest::folder_ = nullptr;

TEST_F(HandheldPtyTest, PortIsLinkedAndAnswersOnlyInTheBootLoader) {
  Serve("system", "wceusbsh002");
  EXPECT_EQ(std::filesystem::read_symlink(Link("wceusbsh002")), handheld_->PortDevice());
  DesktopSide desktop(Link("wceusbsh002"));
  ASSERT_TRUE(desktop.Open());
  desktop.Write(common::USB_TEST_LINE);
  EXPECT_EQ(desktop.Read(1, 20000), "");  // its system does not answer

  EXPECT_EQ(Request("ctl bootloader"), "ok");
  desktop.Write(common::USB_TEST_LINE);
  EXPECT_EQ(desktop.Read(15), "USB Port Test\r\n");
  HandheldConfig config;
  std::string error;
  ASSERT_TRUE(StateFolder(State()).Load(&config, &error));
  EXPECT_EQ(config.mode, HandheldMode::BootLoader);
}

TEST_F(HandheldPtyTest, IdentityReadLoadsAndScreenTextOverThePty) {
  Serve("bootloader");
  DesktopSide desktop(Link());
  ASSERT_TRUE(desktop.Open());
  desktop.Write(common::SESSION_OPEN);
  EXPECT_EQ(desktop.Read(7), "$QEL$\r\n");
  desktop.Write(common::ReadDataCommand(0xA0040100));
  const std::string reply = desktop.Read(5 + 0x28 + 4);
  const auto record = ReserveRecord(HandheldIdentity{});
  EXPECT_EQ(reply, "KVOS " + std::string(record.begin(), record.end()) + "KVOE");
  desktop.Write(common::SESSION_CLOSE);

  // A first load of a payload that ends 5 bytes into its last block.
  const uint32_t size = 0x80000 + test::kBlock + 5;
  const auto payload = test::Payload(size, 9);
  const std::string command = common::FirstLoadCommand(size);
  desktop.Write(command);
  const std::string answer = desktop.ReadUntil("start NB image download\r\n");
  EXPECT_NE(answer.find(":O=00080000\r\nstart NB image download\r\n"), std::string::npos);
  desktop.Write(common::SYNC_HEADER);
  EXPECT_EQ(desktop.Read(1), "\x01");
  desktop.Write(test::FileHeader(0xA0080000, size - 0x80000));
  for (const auto& record_bytes : test::Records(payload, kFlashBase, 0x80000, size)) {
    EXPECT_EQ(desktop.Read(1), "\x02");
    desktop.Write(record_bytes);
  }
  EXPECT_EQ(desktop.Read(1), "\x02");
  desktop.Write(test::EndRecord());
  desktop.Write("shmsg e 5 \"2\"\r");
  EXPECT_EQ(desktop.Read(15), "shmsg e 5 \"2\"\r\n");

  // What another process sees: the flash file and the saved screen.
  std::string error;
  auto flash = FlashImage::OpenFile(StateFolder(State()).FlashPath(), kFlashBase, &error);
  ASSERT_TRUE(flash) << error;
  std::vector<uint8_t> written(test::kBlock + 5 + 4);
  flash->Read(0xA0080000, written);
  EXPECT_TRUE(std::equal(written.begin(), written.end() - 4, payload.begin() + 0x80000));
  EXPECT_NE(std::vector<uint8_t>(written.end() - 4, written.end()),
            std::vector<uint8_t>(4, 0xEE));  // the padding stays out
  EXPECT_EQ(handheld_->Stats().downloadsCompleted, 1u);
  TextScreen screen;
  screen.Load(StateFolder(State()).LoadScreen());
  EXPECT_EQ(screen.Lines()[0xE], "     2");
}

TEST_F(HandheldPtyTest, BusyPortRefusesTheDesktopsExclusiveOpenUntilCleared) {
  Serve("bootloader", "wceusbsh001");
  EXPECT_EQ(Request("fault busy-port"), "ok");
  {
    DesktopSide desktop(Link("wceusbsh001"));
    EXPECT_FALSE(desktop.Open());
    EXPECT_TRUE(desktop.AccessDenied());
  }
  EXPECT_EQ(Request("fault clear"), "ok");
  DesktopSide desktop(Link("wceusbsh001"));
  ASSERT_TRUE(desktop.Open());
  desktop.Write(common::USB_TEST_LINE);
  EXPECT_EQ(desktop.Read(15), "USB Port Test\r\n");
}

TEST_F(HandheldPtyTest, DroppedLinkFailsTheDesktopsReadsAndPlugBringsANewPort) {
  Serve("bootloader");
  EXPECT_EQ(Request("fault drop-after-records 0"), "ok");
  {
    DesktopSide desktop(Link());
    ASSERT_TRUE(desktop.Open());
    desktop.Write(common::SECOND_LOAD_COMMAND);
    desktop.ReadUntil("start NB image download\r\n");
    desktop.Write(common::SYNC_HEADER);
    EXPECT_EQ(desktop.Read(1), "");
    EXPECT_TRUE(desktop.Lost());
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
  EXPECT_FALSE(handheld_->Config().cablePlugged);

  EXPECT_EQ(Request("ctl plug"), "ok");
  DesktopSide desktop(Link());
  ASSERT_TRUE(desktop.Open());
  desktop.Write(common::COM1_TEST_LINE);
  EXPECT_EQ(desktop.Read(16), "COM1 Port Test\r\n");
}

TEST_F(HandheldPtyTest, UnplugRemovesThePortAndOffEndsTheService) {
  Serve("bootloader");
  EXPECT_EQ(Request("ctl unplug"), "ok");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
  EXPECT_EQ(Request("ctl plug"), "ok");
  EXPECT_TRUE(std::filesystem::exists(Link()));

  auto stopped = std::async(std::launch::async, [this] { handheld_->WaitForStop(); });
  EXPECT_EQ(Request("ctl off"), "ok");
  EXPECT_EQ(stopped.wait_until(DeadlineAfter(kAnswerLimitMs)), std::future_status::ready);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Link())));
  EXPECT_EQ(handheld_->Mode(), HandheldMode::Off);
  handheld_->Stop();
  EXPECT_EQ(Request("ctl system"), "nobody listens");
}

TEST_F(HandheldPtyTest, OneServerPerHandheldAndBadRequestsAreRefused) {
  Serve("bootloader");
  std::string error;
  auto second = EmulatedHandheld::Open(State(), &error);
  ASSERT_TRUE(second) << error;
  EXPECT_FALSE(second->Start(Prefix(), "com2", &error));
  EXPECT_NE(error.find("served by another"), std::string::npos);
  EXPECT_EQ(Request("ctl dance"), "error unknown action \"dance\" (system, bootloader, off, mains, battery, unplug, plug)");
  EXPECT_EQ(Request("fault silent 3").rfind("error ", 0), 0u);
  EXPECT_EQ(Request("hello"), "error unknown request \"hello\"");
}

TEST_F(HandheldPtyTest, LineSpeedPacesWhatCrossesTheLine) {
  ServeOptions slow;
  slow.baud = 9600;  // 960 bytes a second
  Serve("bootloader", "com1", slow);
  DesktopSide desktop(Link());
  ASSERT_TRUE(desktop.Open());
  const std::string text(1920, 'x');  // two seconds of line time
  const uint64_t start = common::TickMs();
  desktop.Write(text);
  EXPECT_EQ(desktop.Read(text.size()), text);
  EXPECT_GE(common::TickMs() - start, 1800u);
}

}  // namespace
}  // namespace corvash::emulator
