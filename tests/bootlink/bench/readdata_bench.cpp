// 95 "readdata" round trips (a whole failed identity search) through the
// link: SendString out, the receive thread in, frameReply polled every
// 10 ms. The reference is the same exchange of the same bytes over a raw pty
// with the same polling, in the same run: this compares the link with the
// bare port, not the waits of the search (identity_search_bench does that).
// Runs at time scale 1; the counter link_ms is the link time of one search.
#include <benchmark/benchmark.h>

#include <string>

#include "desktop/session/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/loader_link.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/receive_thread.h"
#include "common/clock.h"
#include "desktop/platform/serial_port.h"
#include "tests/bootlink/pty_peer.h"

#if CORVASH_BENCH_EMULATED_LOADER
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "emulator/emulated_handheld.h"
#include "emulator/handheld_state.h"
#endif

namespace {

using namespace corvash;

constexpr int kRoundTrips = 95;
constexpr uint32_t kPollMs = 10;

// An erased-flash answer of the loader: 5 bytes of its own, 40 flash bytes, KVOE.
std::string ReadDataAnswer(std::string_view received) {
  if (received.find("KVOE") == std::string_view::npos) return {};
  return std::string("\r\n>> ") + std::string(40, '\xff') + "KVOE";
}

// The 95 addresses of a whole identity search: 73 in area 0, 11 in each of
// the two others.
uint32_t Address(int i) {
  if (i < 73) return 0xA0040100u + static_cast<uint32_t>(i) * 0x34u;
  if (i < 84) return 0xA2FC0000u + static_cast<uint32_t>(i - 73) * 0x34u;
  return 0xA1FC0000u + static_cast<uint32_t>(i - 84) * 0x34u;
}

// One search through the link: reply consumed, next command, reply polled.
uint64_t SearchThroughLink(bootlink::LoaderLink& link) {
  const uint64_t start = common::TickMs();
  for (int i = 0; i < kRoundTrips; ++i) {
    link.SetFrameReply("");
    bootlink::SendReadData(link, Address(i));
    while (link.FrameReply().find("KVOE") == std::string::npos) common::SleepMs(kPollMs);
  }
  return common::TickMs() - start;
}

// The same exchange on the bare port: command written, answer read up to "KVOE".
uint64_t SearchRaw(platform::SerialPort& port) {
  const uint64_t start = common::TickMs();
  for (int i = 0; i < kRoundTrips; ++i) {
    const std::string command = common::ReadDataCommand(Address(i));
    port.WriteAll(reinterpret_cast<const uint8_t*>(command.data()), command.size());
    std::string got;
    uint8_t buffer[256];
    while (got.find("KVOE") == std::string::npos) {
      const long n = port.ReadAvailable(buffer, sizeof buffer);
      if (n > 0) {
        got.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
      } else {
        common::SleepMs(kPollMs);
      }
    }
  }
  return common::TickMs() - start;
}

std::shared_ptr<platform::SerialPort> OpenLine(const std::filesystem::path& path) {
  auto opened = platform::OpenSerialPort(path);
  if (!opened.port || !opened.port->Configure()) return nullptr;
  return opened.port;
}

// Starts the receive thread on `port`.
void StartLink(bootlink::LoaderLink& link, std::shared_ptr<platform::SerialPort> port) {
  link.PublishPort(std::move(port));
  bootlink::StartReceiveThread(link);
  while (link.readerRunning.load() != 1) common::SleepMs(1);
}

// A link of its own for one benchmark.
struct BenchLink {
  std::atomic<uint32_t> serialLink{1};
  bootlink::LoaderLink link{nullptr, serialLink};
};

void BM_ReadDataThroughLink_TestPeer(benchmark::State& state) {
  common::SetTimeScale(1.0);
  test::PtyPeer loader(test::PtyPeer::Mode::kHandler, ReadDataAnswer);
  auto port = OpenLine(loader.SlavePath());
  if (!port) return state.SkipWithError("no port");
  BenchLink bench;
  StartLink(bench.link, port);
  uint64_t linkMs = 0;
  for (auto _ : state) linkMs += SearchThroughLink(bench.link);
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(linkMs) / state.iterations());
  bench.link.Close();
}
BENCHMARK(BM_ReadDataThroughLink_TestPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReadDataRawPty_TestPeer(benchmark::State& state) {
  common::SetTimeScale(1.0);
  test::PtyPeer loader(test::PtyPeer::Mode::kHandler, ReadDataAnswer);
  auto port = OpenLine(loader.SlavePath());
  if (!port) return state.SkipWithError("no port");
  uint64_t rawMs = 0;
  for (auto _ : state) rawMs += SearchRaw(*port);
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(rawMs) / state.iterations());
  port->Close();
}
BENCHMARK(BM_ReadDataRawPty_TestPeer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

#if CORVASH_BENCH_EMULATED_LOADER
// The emulated handheld in its boot loader, served in-process on com1 of a
// throw-away prefix; its command session opened.
class EmulatedLoader {
 public:
  EmulatedLoader() {
    char pattern[] = "/tmp/corvash-bench-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::string error;
    if (!emulator::InitHandheld(dir_ / "state", {}, &error)) return;
    handheld_ = emulator::EmulatedHandheld::Open(dir_ / "state", &error);
    if (!handheld_ || !handheld_->Start(dir_, "com1", &error) || !handheld_->Control("bootloader", &error)) {
      handheld_.reset();
    }
  }
  ~EmulatedLoader() {
    if (handheld_) handheld_->Stop();
    handheld_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  bool Ready() const { return handheld_ != nullptr; }
  std::filesystem::path Port() const { return dir_ / "dosdevices" / "com1"; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<emulator::EmulatedHandheld> handheld_;
};

void BM_ReadDataThroughLink_EmulatedLoader(benchmark::State& state) {
  common::SetTimeScale(1.0);
  EmulatedLoader loader;
  if (!loader.Ready()) return state.SkipWithError("no emulated loader");
  auto port = OpenLine(loader.Port());
  if (!port) return state.SkipWithError("no port");
  BenchLink bench;
  StartLink(bench.link, port);
  bootlink::OpenCommandSession(bench.link);
  uint64_t linkMs = 0;
  for (auto _ : state) linkMs += SearchThroughLink(bench.link);
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(linkMs) / state.iterations());
  bootlink::CloseCommandSession(bench.link);
  bench.link.Close();
}
BENCHMARK(BM_ReadDataThroughLink_EmulatedLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReadDataRawPty_EmulatedLoader(benchmark::State& state) {
  common::SetTimeScale(1.0);
  EmulatedLoader loader;
  if (!loader.Ready()) return state.SkipWithError("no emulated loader");
  auto port = OpenLine(loader.Port());
  if (!port) return state.SkipWithError("no port");
  const std::string_view open = common::SESSION_OPEN;
  port->WriteAll(reinterpret_cast<const uint8_t*>(open.data()), open.size());
  common::SleepMs(100);
  uint8_t echo[64];
  while (port->ReadAvailable(echo, sizeof echo) > 0) {
  }
  uint64_t rawMs = 0;
  for (auto _ : state) rawMs += SearchRaw(*port);
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(rawMs) / state.iterations());
  port->Close();
}
BENCHMARK(BM_ReadDataRawPty_EmulatedLoader)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
#endif

}  // namespace

BENCHMARK_MAIN();
