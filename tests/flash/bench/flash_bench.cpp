// A whole flash of a 32 MiB image (both loads, page 102 headless, the
// recovery worker) through the desktop's link to k5210-emu, which runs as
// its own process on an unthrottled pty. The reference, in the same run, is
// a raw copy of the same bytes (every record, header and piece of both
// loads) through a pty, written in the same 1024-byte pieces.
//
// Counters: flash_s (fixed pauses of the sequence subtracted) and raw_s,
// means over the iterations; ratio, the median of flash / raw per
// iteration; rss_growth_MiB, the peak resident size during the flash less
// the resident size before it (this process holds only the desktop side).
// CORVASH_TIME_SCALE (default here 0.1) keeps the fixed pauses short; they
// are subtracted anyway. Much smaller scales turn the link's 10 ms polling
// loops into spins that compete with the copy for the processor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/app/wiring/flash_workers.h"
#include "desktop/session/page_host.h"
#include "desktop/bootlink/image_download.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/port_test.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/handheld/activesync_control.h"
#include "desktop/handheld/windows_family.h"
#include "common/clock.h"
#include "desktop/platform/serial_port.h"
#include "tests/flash/headless_progress_page.h"

namespace {

using namespace corvash;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBlock = 0x20000;
constexpr size_t kPayload = 32u << 20;  // 32 MiB
constexpr size_t kPiece = 1024;

// Bytes both loads put on the wire after their "lnb" lines.
size_t DownloadBytes(size_t total) {
  const size_t records = total / kBlock + (total % kBlock != 0 ? 1 : 0);
  return 7 + 8 + records * (12 + kBlock) + 12;
}
size_t WireBytes() { return DownloadBytes(kPayload - 0x80000) + DownloadBytes(0x40000); }

// Fixed pauses of one flash in system ms: the recovery worker's start,
// RunFlashSequence's start, and two pauses at the end of each download.
uint32_t FixedPausesMs() {
  return bootlink::RECOVERY_START_PAUSE_MS + bootlink::FLASH_START_PAUSE_MS + 4 * bootlink::DOWNLOAD_END_PAUSE_MS;
}

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  }
  return -1;
}
// Resets the peak resident size (VmHWM) to the current one.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

int Run(const std::vector<std::string>& args) {
  std::string line = K5210_EMU_PATH;
  for (const auto& a : args) line += " '" + a + "'";
  return std::system(line.c_str());
}

// The emulated handheld in its own process, serving the boot loader on
// wceusbsh001 of a temporary prefix.
class Handheld {
 public:
  Handheld() {
    char pattern[] = "/tmp/corvash-flash-bench-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    fs::create_directories(Prefix() / "dosdevices");
    for (const char* name : {"com1", "com2", "wceusbsh002"}) {
      fs::create_symlink(dir_ / "absent" / name, Prefix() / "dosdevices" / name);
    }
    ok_ = Run({"init", State().string()}) == 0;
    if (!ok_) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(K5210_EMU_PATH, "k5210-emu", "run", State().c_str(), "--prefix", Prefix().c_str(), "--port",
              "wceusbsh001", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 5000 && !fs::is_symlink(Prefix() / "dosdevices" / "wceusbsh001"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ok_ = Run({"ctl", State().string(), "bootloader"}) == 0;
  }
  ~Handheld() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool Ok() const { return ok_; }
  fs::path State() const { return dir_ / "state"; }
  fs::path Prefix() const { return dir_ / "prefix"; }
  fs::path Dir() const { return dir_; }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
  bool ok_ = false;
};

std::string WriteImage(const fs::path& dir) {
  const fs::path path = dir / "big.nbf";
  std::ofstream out(path, std::ios::binary);
  out << "Quor 5210-NBT-ENG-2.05-0-------";
  out.put('-');
  std::vector<char> chunk(1 << 20);
  uint32_t state = 7;
  for (size_t done = 0; done < kPayload; done += chunk.size()) {
    for (auto& c : chunk) {
      state = state * 1664525u + 1013904223u;
      c = static_cast<char>(state >> 24);
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  return path.string();
}

// The reference: `bytes` through a raw pty in 1024-byte writes, drained on
// the master side. Returns the seconds taken.
double RawPtyCopy(size_t bytes) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ::grantpt(master);
  ::unlockpt(master);
  auto opened = platform::OpenSerialPort(::ptsname(master));
  if (!opened.port || !opened.port->Configure()) return -1;
  std::thread drain([master, bytes] {
    std::vector<uint8_t> sink(1 << 16);
    std::vector<uint8_t> flash(bytes);  // where the loader would put them
    size_t got = 0;
    while (got < bytes) {
      const ssize_t n = ::read(master, sink.data(), sink.size());
      if (n <= 0) break;
      std::memcpy(flash.data() + got, sink.data(), std::min<size_t>(static_cast<size_t>(n), bytes - got));
      got += static_cast<size_t>(n);
    }
  });
  std::vector<uint8_t> piece(kPiece, 0x5A);
  const auto start = Clock::now();
  for (size_t sent = 0; sent < bytes; sent += kPiece) {
    opened.port->WriteAll(piece.data(), std::min(kPiece, bytes - sent));
  }
  drain.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  opened.port->Close();
  ::close(master);
  return seconds;
}

// A run without a display: every screen counts as ended with 0.
class NoScreens final : public session::PageHost {
 public:
  int RunPage(int) override { return 0; }
  void ShowWaitBox() override {}
  void CloseWaitBox() override {}
};

// The middle value (the upper one of an even count); 0 for none.
double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

int FlashOnce(bootlink::LoaderLink& link, session::UpdateSession& session) {
  NoScreens screens;
  link.flashState.store(0);
  session.flow.mainWindow.store(1);
  test::HeadlessProgressPage page(link, session, screens);
  return test::RunHeadlessProgressPage(page, link, [&] { wiring::CheckAndFlashThread(link, session, screens); });
}

void BM_Flash32MiBAgainstRawPty(benchmark::State& state) {
  if (std::getenv("CORVASH_TIME_SCALE") == nullptr) common::SetTimeScale(0.1);
  Handheld handheld;
  if (!handheld.Ok()) {
    state.SkipWithError("k5210-emu did not start");
    return;
  }
  ::setenv("CORVASH_PREFIX", handheld.Prefix().c_str(), 1);
  session::UpdateSession session;
  bootlink::LoaderLink link(&bootlink::ImageDownloadThread, session.serialLink);
  const std::string image = WriteImage(handheld.Dir());
  common::CopyText(session.image.imagePath, image);
  common::CopyText(session.paths.programDir, handheld.Dir().string());
  common::CopyText(session.handheld.deviceModel, "Quor 5210");
  common::CopyText(session.handheld.deviceVariant, "NBT");
  common::CopyText(session.handheld.deviceLangCode, "ENG");
  // The handheld's sync software holds its port until it is stopped.
  if (bootlink::TestPorts(link, [] { handheld::StopActiveSync(handheld::QueryWindowsFamily()); }) != 1) {
    state.SkipWithError("the port test found no loader");
    return;
  }
  const double pauses = std::chrono::duration<double>(common::ScaledDuration(FixedPausesMs())).count();
  double flashTotal = 0, rawTotal = 0, worstGrowthMiB = 0;
  std::vector<double> ratios;
  for (auto _ : state) {
    const double raw = RawPtyCopy(WireBytes());
    const long before = StatusKb("VmRSS:");
    ResetPeak();
    const auto start = Clock::now();
    const int result = FlashOnce(link, session);
    const double flash = std::chrono::duration<double>(Clock::now() - start).count() - pauses;
    const long peak = StatusKb("VmHWM:");
    if (result != 1) {
      state.SkipWithError("the flash failed");
      break;
    }
    state.SetIterationTime(flash);
    flashTotal += flash;
    rawTotal += raw;
    ratios.push_back(flash / raw);
    worstGrowthMiB = std::max(worstGrowthMiB, static_cast<double>(peak - before) / 1024.0);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["flash_s"] = flashTotal / n;
  state.counters["raw_s"] = rawTotal / n;
  // Each flash is compared with the copy measured just before it; the
  // median of those ratios resists the noise of a shared machine.
  state.counters["ratio"] = Median(ratios);
  state.counters["rss_growth_MiB"] = worstGrowthMiB;
  state.counters["wire_MiB"] = static_cast<double>(WireBytes()) / (1 << 20);
  link.Close();
}
BENCHMARK(BM_Flash32MiBAgainstRawPty)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);

// corvash-flash itself, as a user runs it: `flash IMAGE --yes` of a 31.5 MiB
// image (made with nbf, so that its checksum holds) against the same raw
// copy. Its time includes the port test, the identity read, the checksum and
// the fixed pauses of the whole command (scaled); `ratio` counts them,
// `ratio_without_pauses` leaves the scaled pauses of the flash itself out, as
// the engine's benchmark above does.
void BM_CorvashFlashAgainstRawPty(benchmark::State& state) {
  const char* scale = std::getenv("CORVASH_TIME_SCALE");
  ::setenv("CORVASH_TIME_SCALE", scale != nullptr ? scale : "0.01", 1);
  common::SetTimeScale(0);  // read again from the environment
  Handheld handheld;
  if (!handheld.Ok()) return state.SkipWithError("k5210-emu did not start");
  const fs::path payload = handheld.Dir() / "rom.payload";
  const size_t payloadBytes = kPayload - (512u << 10);  // 31.5 MiB
  {
    std::ofstream out(payload, std::ios::binary);
    std::vector<char> chunk(payloadBytes);
    uint32_t seed = 11;
    for (auto& c : chunk) {
      seed = seed * 1664525u + 1013904223u;
      c = static_cast<char>(seed >> 24);
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  const fs::path image = handheld.Dir() / "rom.nbf";
  const std::string create = std::string(NBF_PATH) + " create --model 'Quor 5210' --variant NBT --lang ENG " +
                             "--version 2.05 '" + payload.string() + "' '" + image.string() + "' >/dev/null";
  if (std::system(create.c_str()) != 0) return state.SkipWithError("nbf create failed");
  const std::string command = "CORVASH_PREFIX='" + handheld.Prefix().string() + "' " + CORVASH_FLASH_PATH +
                              " flash '" + image.string() + "' --yes --port wceusbsh001 >/dev/null 2>&1";
  const size_t wire = DownloadBytes(payloadBytes - 0x80000) + DownloadBytes(0x40000);
  const double pauses = std::chrono::duration<double>(common::ScaledDuration(FixedPausesMs())).count();
  std::vector<double> ratios;
  std::vector<double> bare;
  double flashTotal = 0;
  double rawTotal = 0;
  for (auto _ : state) {
    const double raw = RawPtyCopy(wire);
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double flash = std::chrono::duration<double>(Clock::now() - start).count();
    if (status != 0) {
      state.SkipWithError("corvash-flash failed");
      break;
    }
    state.SetIterationTime(flash);
    flashTotal += flash;
    rawTotal += raw;
    ratios.push_back(flash / raw);
    bare.push_back((flash - pauses) / raw);
  }
  if (ratios.empty()) return;
  const double n = static_cast<double>(ratios.size());
  state.counters["flash_s"] = flashTotal / n;
  state.counters["raw_s"] = rawTotal / n;
  state.counters["ratio"] = Median(ratios);
  state.counters["ratio_without_pauses"] = Median(bare);
}
BENCHMARK(BM_CorvashFlashAgainstRawPty)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
