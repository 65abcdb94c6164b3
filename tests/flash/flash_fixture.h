#pragma once
// Shared pieces of the flash tests: a page host that counts the screens it
// is asked for, image files written into a temporary folder, an in-memory
// emulated loader, and a fixture that puts the session, the link, the
// settings prefix and the named events back to their start state.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"
#include "emulator/flash_image.h"
#include "emulator/loader_peer.h"
#include "emulator/text_screen.h"
#include "tests/flash/headless_progress_page.h"
#include "tests/flash/loader_port.h"

namespace corvash::test {

class CountingHost : public session::PageHost {
 public:
  int RunPage(int templateId) override;
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
  int Count(int templateId) const;
  size_t Total() const;

 private:
  mutable std::mutex mutex_;
  std::vector<int> shown_;
};

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// Deterministic payload bytes; no zero bytes, so that a short block's filler
// and the erased flash stand out.
std::vector<uint8_t> MakePayload(size_t size, uint32_t seed);
// Writes header ("Quor 5210-<variant>-<lang>-<version>-<checksum>---") and
// payload; returns the path.
std::string WriteImage(const std::filesystem::path& dir, const std::string& name,
                       const std::vector<uint8_t>& payload, const std::string& variant = "NBT",
                       const std::string& lang = "ENG", const std::string& version = "2.04");

// The emulated loader with a flash of its own in memory, behind a LoaderPort.
struct MemoryLoader {
  explicit MemoryLoader(size_t flashBytes);
  std::unique_ptr<emulator::FlashImage> flash;
  emulator::TextScreen screen;
  emulator::BootLoaderPeer peer;
  std::shared_ptr<LoaderPort> port;
  // Flash bytes at a boot-loader address.
  std::vector<uint8_t> Read(uint32_t address, size_t length) const;
};

class FlashTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void ResetAll();

  // Leaves `port` as a successful port test does: the link's port,
  // linkClosed 0, the receive thread running.
  void Connect(std::shared_ptr<platform::SerialPort> port, uint32_t serialLink = 0);
  // Polls `condition` until it holds or `ms` system milliseconds pass.
  static bool WaitFor(const std::function<bool()>& condition, uint32_t ms);
  // Waits (bounded in real time) until `count` threads block in a link wait.
  bool LinkWaitersBlocked(uint32_t count);
  // Whether the pending-flash settings are stored.
  static bool SettingsStored();
  // The session as RecoverFromBootLoader leaves it for `imagePath`.
  void PrepareRecovery(const std::string& imagePath);
  // Opens a headless page 102 with `worker` and waits for its end.
  int RunPage(const FlashWorker& worker);
  // The wizard's two flashing workers on this test's link and session.
  void IdentifyAndFlash();
  void CheckAndFlash();

  TempFolder prefix_;
  TempFolder images_;
  session::UpdateSession run_;
  CountingHost host_;
  std::unique_ptr<HeadlessProgressPage> page_;
  bootlink::LoaderLink link_{&bootlink::ImageDownloadThread, run_.serialLink};
};

}  // namespace corvash::test
