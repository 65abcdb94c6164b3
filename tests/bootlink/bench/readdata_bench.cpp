// 95 "readdata" round trips (a whole failed identity search) through the
// link: SendString out, the receive thread in, frameReply polled every
// 10 ms as the identity search does. The reference is the same exchange of
// the same bytes over a raw pty with the same polling, in the same run.
// Runs at time scale 1; the counter link_ms is the link time of one search.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <string>

#include "desktop/app/update_session.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/loader_wire.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/platform/clock.h"
#include "desktop/platform/serial_port.h"
#include "tests/bootlink/pty_peer.h"

namespace {

using namespace corvash;

constexpr int kRoundTrips = 95;
constexpr uint32_t kPollMs = 10;

// An erased-flash answer of the loader: 5 bytes of its own, 40 flash bytes, KVOE.
std::string ReadDataAnswer(std::string_view received) {
  if (received.find("KVOE") == std::string_view::npos) return {};
  return std::string("\r\n>> ") + std::string(40, '\xff') + "KVOE";
}

uint32_t Address(int i) { return 0xA0040100u + static_cast<uint32_t>(i) * 0x34u; }

void BM_ReadDataThroughLink(benchmark::State& state) {
  platform::SetTimeScale(1.0);
  test::PtyPeer loader(test::PtyPeer::Mode::kHandler, ReadDataAnswer);
  auto& session = app::Session();
  session.Reset();
  auto opened = platform::OpenSerialPort(loader.SlavePath());
  if (!opened.port || !opened.port->Configure()) {
    state.SkipWithError("no port");
    return;
  }
  session.linkHandle.store(opened.port);
  bootlink::StartReceiveThread();
  while (session.readerRunning.load() != 1) platform::SleepMs(1);
  uint64_t linkMs = 0;
  for (auto _ : state) {
    const uint64_t start = platform::TickMs();
    for (int i = 0; i < kRoundTrips; ++i) {
      session.SetFrameReply("");
      bootlink::SendReadData(Address(i));
      while (session.FrameReply().find("KVOE") == std::string::npos) platform::SleepMs(kPollMs);
    }
    linkMs += platform::TickMs() - start;
  }
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(linkMs) / state.iterations());
  bootlink::ShutdownLink();
  session.Reset();
}
BENCHMARK(BM_ReadDataThroughLink)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same bytes over a raw pty: write the command, poll for the whole answer.
void BM_ReadDataRawPty(benchmark::State& state) {
  platform::SetTimeScale(1.0);
  test::PtyPeer loader(test::PtyPeer::Mode::kHandler, ReadDataAnswer);
  auto opened = platform::OpenSerialPort(loader.SlavePath());
  if (!opened.port || !opened.port->Configure()) {
    state.SkipWithError("no port");
    return;
  }
  auto& port = *opened.port;
  const size_t answerLength = ReadDataAnswer("KVOE").size();
  uint64_t rawMs = 0;
  for (auto _ : state) {
    const uint64_t start = platform::TickMs();
    for (int i = 0; i < kRoundTrips; ++i) {
      const std::string command = bootlink::wire::ReadDataCommand(Address(i));
      port.WriteAll(reinterpret_cast<const uint8_t*>(command.data()), command.size());
      size_t got = 0;
      uint8_t buffer[256];
      while (got < answerLength) {
        const long n = port.ReadAvailable(buffer, sizeof buffer);
        if (n > 0) {
          got += static_cast<size_t>(n);
        } else {
          platform::SleepMs(kPollMs);
        }
      }
    }
    rawMs += platform::TickMs() - start;
  }
  state.counters["link_ms"] = benchmark::Counter(static_cast<double>(rawMs) / state.iterations());
  port.Close();
}
BENCHMARK(BM_ReadDataRawPty)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
