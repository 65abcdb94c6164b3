// The handheld's window over a real served handheld (its pty, its control
// socket), offscreen: its buttons act on the handheld as `ctl` does, it
// follows what `ctl` changes from outside, shows a download's progress while
// the loader takes it, the ROM version the flash holds after a flash, and
// closes when the service ends.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/loader_wire.h"
#include "emulator/control_socket.h"
#include "emulator/emulated_handheld.h"
#include "emulator/identity_record.h"
#include "emulator/served_panel.h"
#include "emulator/window/handheld_window.h"
#include "tests/emulator/temp_folder.h"

namespace corvash::emulator::window {
namespace {

constexpr uint32_t kBlock = 0x20000;
constexpr uint32_t kLimitMs = 20000;

std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

// Runs the GUI until `done` holds or the limit passes.
bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = common::DeadlineAfter(kLimitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // let the handheld's threads run
  }
  return true;
}

class HandheldWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "handheld_window_tests";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) new QApplication(argc, argv);
  }

  void SetUp() override {
    std::string error;
    InitOptions options;
    options.version = "2.03";
    ASSERT_TRUE(InitHandheld(State(), options, &error)) << error;
    handheld_ = EmulatedHandheld::Open(State(), &error);
    ASSERT_TRUE(handheld_) << error;
    ASSERT_TRUE(handheld_->Start(folder_.Path() / "prefix", "com1", &error)) << error;
    panel_ = std::make_unique<ServedPanel>(*handheld_, State().string());
    window_ = std::make_unique<HandheldWindow>(*panel_);
    window_->show();
  }
  void TearDown() override {
    if (port_ >= 0) ::close(port_);
    window_.reset();
    panel_.reset();
    handheld_.reset();
  }

  std::filesystem::path State() const { return folder_.Path() / "state"; }
  // What `ctl ACTION` sends from another process.
  std::string Ctl(const std::string& action) {
    return SendControlRequest(StateFolder(State()).ControlSocketPath(), "ctl " + action).value_or("no answer");
  }
  // Writes to the handheld's port as the desktop does; answers are drained.
  void Send(const std::string& bytes) {
    if (port_ < 0) port_ = ::open(handheld_->PortDevice().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(port_, 0);
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(port_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(n, 0);
      done += static_cast<size_t>(n);
      Drain();
    }
  }
  void Drain() {
    pollfd ready{port_, POLLIN, 0};
    char buffer[4096];
    while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) && ::read(port_, buffer, sizeof buffer) > 0) {
    }
  }
  // A load's start: the load line, the sync header and the file header.
  void BeginLoad(uint32_t start, uint32_t total) {
    Send("lnb c:\\test.nbf A0000000 80000 00040000\r");
    Send(std::string(common::SYNC_HEADER) + Le32(start) + Le32(total));
  }
  void SendRecord(uint32_t address, const std::string& data) {
    std::string block = data;
    block.resize(kBlock, '\xEE');
    Send(Le32(address) + Le32(kBlock) + Le32(0) + block);
  }

  test::TempFolder folder_;
  std::unique_ptr<EmulatedHandheld> handheld_;
  std::unique_ptr<ServedPanel> panel_;
  std::unique_ptr<HandheldWindow> window_;
  int port_ = -1;
};

TEST_F(HandheldWindowTest, ButtonsActOnTheHandheldAsCtlDoes) {
  ASSERT_EQ(handheld_->Mode(), HandheldMode::System);
  EXPECT_TRUE(window_->ModeText().contains("System"));

  window_->BootLoaderButton()->click();
  ASSERT_TRUE(PumpUntil([&] { return handheld_->Mode() == HandheldMode::BootLoader; }));
  EXPECT_TRUE(PumpUntil([&] { return window_->ModeText().contains("Boot loader"); }));

  // Pulling the mains and the cable: the state folder says so, the port is gone.
  ASSERT_TRUE(PumpUntil([&] { return window_->MainsToggle()->isEnabled(); }));
  window_->MainsToggle()->click();
  ASSERT_TRUE(PumpUntil([&] { return handheld_->Config().power == PowerSource::Battery; }));
  ASSERT_TRUE(PumpUntil([&] { return window_->CableToggle()->isEnabled(); }));
  window_->CableToggle()->click();
  ASSERT_TRUE(PumpUntil([&] { return !handheld_->Config().cablePlugged; }));
  EXPECT_TRUE(handheld_->PortDevice().empty());
  HandheldConfig saved;
  std::string error;
  ASSERT_TRUE(StateFolder(State()).Load(&saved, &error)) << error;
  EXPECT_EQ(saved.mode, HandheldMode::BootLoader);
  EXPECT_EQ(saved.power, PowerSource::Battery);
  EXPECT_FALSE(saved.cablePlugged);

  ASSERT_TRUE(PumpUntil([&] { return window_->SystemButton()->isEnabled(); }));
  window_->CableToggle()->click();
  ASSERT_TRUE(PumpUntil([&] { return handheld_->Config().cablePlugged && !handheld_->PortDevice().empty(); }));
  ASSERT_TRUE(PumpUntil([&] { return window_->SystemButton()->isEnabled(); }));
  window_->SystemButton()->click();
  EXPECT_TRUE(PumpUntil([&] { return handheld_->Mode() == HandheldMode::System; }));
}

TEST_F(HandheldWindowTest, FollowsWhatCtlChangesFromOutside) {
  ASSERT_EQ(Ctl("bootloader"), "ok");
  EXPECT_TRUE(PumpUntil([&] { return window_->ModeText().contains("Boot loader"); }));
  ASSERT_EQ(Ctl("battery"), "ok");
  ASSERT_EQ(Ctl("unplug"), "ok");
  EXPECT_TRUE(PumpUntil([&] { return !window_->MainsToggle()->isChecked() && !window_->CableToggle()->isChecked(); }));
  ASSERT_EQ(Ctl("mains"), "ok");
  EXPECT_TRUE(PumpUntil([&] { return window_->MainsToggle()->isChecked(); }));
}

TEST_F(HandheldWindowTest, ShowsTheProgressOfALoadAndTheVersionItFlashed) {
  ASSERT_EQ(Ctl("bootloader"), "ok");
  // The second load of a flash: the loader's neighbour block with the
  // reserve area, whose identity record now says 2.04.
  const uint32_t start = kFlashBase + 0x40000;
  const uint32_t total = 0x40000;
  BeginLoad(start, total);
  std::string reserve(0x100, '\xFF');
  HandheldIdentity flashed;
  flashed.version = "2.04";
  const std::vector<uint8_t> record = ReserveRecord(flashed);
  reserve.append(record.begin(), record.end());
  reserve.resize(kBlock, '\xFF');
  SendRecord(start, reserve);
  EXPECT_TRUE(PumpUntil([&] { return window_->DownloadText().contains("record 1 of 2"); }))
      << window_->DownloadText().toStdString();
  EXPECT_EQ(handheld_->Snapshot().download.bytesStored, kBlock);

  SendRecord(start + kBlock, std::string(kBlock, '\xFF'));
  Send(std::string(12, '\0'));
  EXPECT_TRUE(PumpUntil([&] { return window_->DownloadText().contains("1 received"); }))
      << window_->DownloadText().toStdString();
  EXPECT_FALSE(handheld_->Snapshot().download.active);

  // Back in its system it runs what it was flashed with, though its
  // configuration still names the ROM it was made with.
  ASSERT_EQ(Ctl("system"), "ok");
  EXPECT_EQ(handheld_->Snapshot().identity.version, "2.04");
  EXPECT_EQ(handheld_->Config().identity.version, "2.03");
}

TEST_F(HandheldWindowTest, AFlashThatLeavesNoIdentityShowsTheConfiguredOne) {
  ASSERT_EQ(Ctl("bootloader"), "ok");
  const uint32_t start = kFlashBase + 0x40000;
  BeginLoad(start, kBlock);
  SendRecord(start, std::string(kBlock, '\xFF'));  // the reserve area erased
  Send(std::string(12, '\0'));
  ASSERT_TRUE(PumpUntil([&] { return handheld_->Stats().downloadsCompleted == 1; }));
  EXPECT_EQ(handheld_->Snapshot().identity.version, "2.03");
}

TEST_F(HandheldWindowTest, ClosesWhenTheServiceEnds) {
  ASSERT_TRUE(window_->isVisible());
  ASSERT_EQ(Ctl("off"), "ok");
  handheld_->WaitForStop();
  panel_->MarkEnded();
  EXPECT_TRUE(PumpUntil([&] { return !window_->isVisible(); }));
}

}  // namespace
}  // namespace corvash::emulator::window
