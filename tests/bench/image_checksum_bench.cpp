// The checksum pass of a 32 MiB image against a plain read of the same file
// through the same 256 KiB buffer, in one run. The pass may take at most 1.5
// times the read. The program prints the ratio of the median times, both by
// the thread's CPU time (the kernel's copy and the sum; what the verdict
// uses, since on a shared machine the wall clock mostly measures waiting for
// a processor) and by the wall clock, and exits 1 beyond the limit.
// Repetitions of the two are interleaved at random so that a change in the
// machine's load falls on both alike.
//
//   image_checksum_bench [--benchmark_* options]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "desktop/session/update_session.h"
#include "desktop/image/image_checksum.h"
#include "desktop/image/image_header.h"
#include "common/fixed_text.h"

namespace {

using namespace corvash;

constexpr size_t kImageSize = 32u << 20;
constexpr double kLimit = 1.5;

std::string g_imagePath;

// A valid image of kImageSize bytes with a pseudo-random payload.
bool MakeImage(const std::string& path) {
  std::vector<uint8_t> payload(kImageSize - common::kHeaderSize);
  uint32_t x = 12345;
  uint32_t sum = 0;
  for (auto& byte : payload) {
    x = x * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(x >> 16);
    sum += byte;
  }
  auto header = common::FormatImageHeader("Quor 5210", "NBT", "ENG", "2.04", 0);
  for (size_t i = 0; i < common::kSummedHeaderBytes; ++i) sum += static_cast<uint8_t>((*header)[i]);
  header = common::FormatImageHeader("Quor 5210", "NBT", "ENG", "2.04", static_cast<uint16_t>(sum));
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(header->data(), 1, header->size(), file) == header->size() &&
                  std::fwrite(payload.data(), 1, payload.size(), file) == payload.size();
  return std::fclose(file) == 0 && ok;
}

void BM_PlainRead(benchmark::State& state) {
  std::vector<uint8_t> buffer(common::kChecksumBlockSize);
  for (auto _ : state) {
    const int fd = ::open(g_imagePath.c_str(), O_RDONLY | O_CLOEXEC);
    size_t total = 0;
    for (;;) {
      const ssize_t n = ::read(fd, buffer.data(), buffer.size());
      if (n <= 0) break;
      total += static_cast<size_t>(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(buffer.data());
    if (total != kImageSize) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageSize));
}

// No one watches the sum.
class NoWait final : public image::WaitIndicator {
 public:
  void Show() override {}
  void Close() override {}
};

void BM_VerifyImageChecksum(benchmark::State& state) {
  session::ChosenImage chosen;
  common::CopyText(chosen.imagePath, g_imagePath);
  if (image::ReadImageHeader(g_imagePath, chosen) != image::ImageOutcome::kOk) state.SkipWithError("header not read");
  NoWait wait;
  for (auto _ : state) {
    if (image::VerifyImageChecksum(chosen, wait) != image::ImageOutcome::kOk) {
      state.SkipWithError("checksum does not verify");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageSize));
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_VerifyImageChecksum)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

struct Median {
  double real = 0;
  double cpu = 0;
};

// Keeps the median times per iteration of every benchmark.
class MedianCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name == "median") {
        medians[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, Median> medians;
};

}  // namespace

int main(int argc, char** argv) {
  char folder[] = "/tmp/corvash-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return 2;
  g_imagePath = std::string(folder) + "/bench.nbf";
  if (!MakeImage(g_imagePath)) return 2;

  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove_all(folder);

  const auto read = reporter.medians.find("BM_PlainRead");
  const auto verify = reporter.medians.find("BM_VerifyImageChecksum");
  if (read == reporter.medians.end() || verify == reporter.medians.end() || read->second.cpu <= 0 ||
      read->second.real <= 0) {
    std::fprintf(stderr, "ratio not measured (run both benchmarks)\n");
    return 2;
  }
  const double cpuRatio = verify->second.cpu / read->second.cpu;
  const double realRatio = verify->second.real / read->second.real;
  std::printf("checksum pass / plain read of a 32 MiB image: %.2f by CPU time, %.2f by wall clock (limit %.2f)\n",
              cpuRatio, realRatio, kLimit);
  return cpuRatio <= kLimit ? 0 : 1;
}
