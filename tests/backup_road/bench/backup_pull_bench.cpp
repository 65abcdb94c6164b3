// The whole backup pull as the desktop runs it, at CORVASH_TIME_SCALE=1:
// BackupWorker on a headless page, through the real remote API
// (rapi.sock of a real `k5210-emu run`, served by its wcescomm.exe), with
// the real backup.exe taken from a program folder, into a file in a temp
// folder. The pull is held against the floor of its own fixed waits: 5000 ms
// after the agent starts, then 100 ms on each side per chunk (the agent's
// wait before its create, the desktop's before its look), 124 chunks:
// 5000 + 124 x 200 = 29800 ms. It may take at most 1.1 times that. The two
// sides' waits mostly overlap (the agent waits before its next create while
// the desktop waits before its next look), so a pull that loses no time
// comes near 5000 + 124 x 100 ms, which the program prints beside the verdict.
//
// The program prints the ratio of the median wall time to the floor, with
// where the time went (up to the first chunk, then per chunk), and exits 1
// beyond the limit, 2 when a pull failed. Every run takes about 30 s.
//
//   backup_pull_bench [--benchmark_repetitions=N] [--benchmark_* options]
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "desktop/handheld/backup_pull.h"
#include "desktop/session/update_session.h"
#include "rapi/socket_remote_api.h"
#include "tests/backup_road/pull_page.h"
#include "tests/emulator/child_process.h"
#include "tests/emulator/temp_folder.h"

namespace {

using namespace corvash;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kFloorMs = 5000 + 124 * 200;
constexpr double kOverlappedMs = 5000 + 124 * 100;
constexpr double kLimit = 1.1;
constexpr uint32_t kLinkWaitMs = 60000;
constexpr uint64_t kBackupSize = 32 + uint64_t{handheld::kBackupPayload};

using backup_road::test::PullPage;

struct World {
  ~World() {
    if (api) api->CeRapiUninit();
    if (handheld) {
      ::kill(handheld->Pid(), SIGTERM);  // run ends its sync software on the way out
      handheld->Wait();
    }
  }
  emulator::test::TempFolder folder;
  fs::path backup;
  std::unique_ptr<emulator::test::Child> handheld;
  std::unique_ptr<rapi::SocketRemoteApi> api;
  handheld::BackupJob job;
};
World* g_world = nullptr;

// A handheld served in a prefix, the remote API linked to it, backup.exe in
// the program folder and the identity as identification leaves it.
bool SetUpWorld(World& world, std::string* error) {
  const fs::path state = world.folder.Path() / "handheld";
  const fs::path prefix = world.folder.Path() / "prefix";
  const fs::path program = world.folder.Path() / "program";
  fs::create_directories(prefix / "windows");
  fs::create_directories(program);
  fs::create_symlink(BACKUP_EXE, program / "backup.exe");
  world.backup = world.folder.Path() / "QUORROM.nbf";
  emulator::test::Child init({K5210_EMU_PATH, "init", state.string()});
  if (init.Wait() != 0) {
    *error = "k5210-emu init failed";
    return false;
  }
  world.handheld = std::make_unique<emulator::test::Child>(
      std::vector<std::string>{K5210_EMU_PATH, "run", state.string(), "--prefix", prefix.string()});
  if (world.handheld->ReadLine().rfind("ready", 0) != 0) {
    *error = "k5210-emu run did not come up";
    return false;
  }
  world.api = std::make_unique<rapi::SocketRemoteApi>(prefix / "rapi.sock");
  rapi::RapiInitRecord link;
  if (world.api->CeRapiInitEx(link) != rapi::S_OK || !link.heRapiInit->Wait(kLinkWaitMs)) {
    *error = "the remote API did not link";
    return false;
  }
  world.job.programDir = program.string();
  world.job.backupPath = world.backup.string();
  common::CopyText(world.job.handheld.deviceModel, "Quor 5210");
  common::CopyText(world.job.handheld.deviceVariant, "NBT");
  common::CopyText(world.job.handheld.deviceLangCode, "ENG");
  common::CopyText(world.job.handheld.deviceVersion, "2.04");
  return true;
}

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

void BM_BackupPull(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code code;
    fs::remove(g_world->backup, code);
    PullPage page;
    state.ResumeTiming();
    const Clock::time_point start = Clock::now();
    const handheld::BackupOutcome outcome = handheld::BackupWorker(*g_world->api, g_world->job, page);
    const Clock::time_point end = Clock::now();
    state.PauseTiming();
    if (!outcome.complete || fs::file_size(g_world->backup, code) != kBackupSize) {
      rapi::CePowerStatus power;
      const bool linked = g_world->api->CeGetSystemPowerStatusEx(power, 1) != 0;
      const std::string why = "the pull failed with screen " + std::to_string(outcome.screen) + " after " +
                              std::to_string(page.chunkTimes.size()) + " chunks" +
                              (linked ? "" : "; the sync link is down (a sync-process stop of another run on "
                                             "this machine ends every wcescomm.exe)");
      state.SkipWithError(why.c_str());
      break;
    }
    const auto& times = page.chunkTimes;
    state.counters["to_first_chunk_ms"] = MsBetween(start, times.front());
    state.counters["per_chunk_ms"] = MsBetween(times.front(), times.back()) / static_cast<double>(times.size() - 1);
    state.counters["after_last_chunk_ms"] = MsBetween(times.back(), end);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_BackupPull)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Keeps the median wall time per run.
class MedianCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) failed = true;
      if (run.aggregate_name == "median" || (run.run_type == Run::RT_Iteration && run.repetitions <= 1)) {
        medianMs = run.GetAdjustedRealTime();
        counters = run.counters;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double medianMs = 0;
  bool failed = false;
  benchmark::UserCounters counters;
};

}  // namespace

int main(int argc, char** argv) {
  // The waits as the system has them: no scaling, here and in k5210-emu.
  ::setenv("CORVASH_TIME_SCALE", "1", 1);
  World world;
  g_world = &world;
  std::string error;
  if (world.folder.Path().empty() || !SetUpWorld(world, &error)) {
    std::fprintf(stderr, "backup_pull_bench: %s\n", error.c_str());
    return 2;
  }
  // Three runs unless told otherwise; the verdict takes their median.
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=3";
  args.insert(args.begin() + 1, repetitions);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianCollector reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  if (reporter.failed || reporter.medianMs <= 0) {
    std::fprintf(stderr, "backup_pull_bench: the pull was not measured\n");
    return 2;
  }
  const double ratio = reporter.medianMs / kFloorMs;
  std::printf("backup pull: %.0f ms against a floor of %.0f ms of fixed waits: %.3f (limit %.2f); "
              "%.3f of the %.0f ms that the waits take where they overlap; "
              "%.0f ms to the first chunk, then %.1f ms a chunk\n",
              reporter.medianMs, kFloorMs, ratio, kLimit, reporter.medianMs / kOverlappedMs, kOverlappedMs,
              static_cast<double>(reporter.counters["to_first_chunk_ms"]),
              static_cast<double>(reporter.counters["per_chunk_ms"]));
  return ratio <= kLimit ? 0 : 1;
}
