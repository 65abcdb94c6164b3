#include "tests/flash/flash_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "desktop/session/flash_settings.h"
#include "desktop/session/update_session.h"
#include "desktop/bootlink/download_context.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_header.h"
#include "common/clock.h"
#include "desktop/app/wiring/flash_workers.h"
#include "common/event.h"
#include "common/hive.h"
#include "desktop/platform/prefix.h"

namespace corvash::test {

int CountingHost::RunPage(int templateId) {
  std::lock_guard lock(mutex_);
  shown_.push_back(templateId);
  return 0;
}

int CountingHost::Count(int templateId) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(shown_.begin(), shown_.end(), templateId));
}

size_t CountingHost::Total() const {
  std::lock_guard lock(mutex_);
  return shown_.size();
}

TempFolder::TempFolder() {
  char pattern[] = "/tmp/corvash-flash-XXXXXX";
  dir_ = ::mkdtemp(pattern);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::vector<uint8_t> MakePayload(size_t size, uint32_t seed) {
  std::vector<uint8_t> payload(size);
  uint32_t state = seed * 2654435761u + 1;
  for (auto& byte : payload) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(1 + (state >> 24) % 0xFE);  // 1..0xFE
  }
  return payload;
}

std::string WriteImage(const std::filesystem::path& dir, const std::string& name,
                       const std::vector<uint8_t>& payload, const std::string& variant,
                       const std::string& lang, const std::string& version) {
  std::string head = "Quor 5210-" + variant + "-" + lang + "-" + version;
  uint32_t sum = common::AddToSum(0, std::span(reinterpret_cast<const uint8_t*>(head.data()), head.size()));
  sum = common::AddToSum(sum, payload);
  const auto header = common::FormatImageHeader("Quor 5210", variant, lang, version, static_cast<uint16_t>(sum));
  const auto path = dir / name;
  std::ofstream out(path, std::ios::binary);
  out.write(header->data(), static_cast<std::streamsize>(header->size()));
  out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
  return path.string();
}

MemoryLoader::MemoryLoader(size_t flashBytes)
    : flash(emulator::FlashImage::InMemory(emulator::kFlashBase, flashBytes)),
      peer(*flash, screen),
      port(std::make_shared<LoaderPort>(&peer)) {}

std::vector<uint8_t> MemoryLoader::Read(uint32_t address, size_t length) const {
  std::vector<uint8_t> bytes(length);
  flash->Read(address, bytes);
  return bytes;
}

void FlashTest::SetUp() {
  ::setenv("CORVASH_PREFIX", prefix_.Path().c_str(), 1);
  ResetAll();
  run_.flow.mainWindow.store(1);
}

void FlashTest::TearDown() {
  link_.Close();
  page_.reset();
  ResetAll();
  ::unsetenv("CORVASH_PREFIX");
}

void FlashTest::ResetAll() {
  link_.Close();
  link_.flashState.store(0);
  link_.commandSessionOpen.store(0);
  run_.Reset();
  link_.Download().Reset();
  common::ClearNamedEvents();
}

void FlashTest::Connect(std::shared_ptr<platform::SerialPort> port, uint32_t serialLink) {
  link_.serialLink.store(serialLink);
  link_.PublishPort(std::move(port));
  link_.linkClosed.store(0);
  ASSERT_TRUE(bootlink::StartReceiveThread(link_));
  ASSERT_TRUE(WaitFor([this] { return link_.readerRunning.load() == 1; }, 100000));
}

bool FlashTest::WaitFor(const std::function<bool()>& condition, uint32_t ms) {
  const auto deadline = common::DeadlineAfter(ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool FlashTest::LinkWaitersBlocked(uint32_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (link_.Signals().WaiterCount() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

bool FlashTest::SettingsStored() { return platform::LoadUserHive().HasKey(session::kSettingsKey); }

void FlashTest::PrepareRecovery(const std::string& imagePath) {
  auto& session = run_;
  common::CopyText(session.image.imagePath, imagePath);
  common::CopyText(session.paths.programDir, std::filesystem::path(imagePath).parent_path().string());
  common::CopyText(session.handheld.deviceModel, "Quor 5210");
  common::CopyText(session.handheld.deviceVariant, "NBT");
  common::CopyText(session.handheld.deviceLangCode, "ENG");
  common::CopyText(session.handheld.deviceVersion, "2.03");
  common::CopyText(session.handheld.deviceLanguage, "English");
  link_.flashState.store(0);
}

int FlashTest::RunPage(const FlashWorker& worker) {
  page_ = std::make_unique<HeadlessProgressPage>(link_, run_, host_);
  return RunHeadlessProgressPage(*page_, link_, worker);
}

void FlashTest::IdentifyAndFlash() { wiring::IdentifyAndFlashThread(link_, run_, host_); }

void FlashTest::CheckAndFlash() { wiring::CheckAndFlashThread(link_, run_, host_); }

}  // namespace corvash::test
