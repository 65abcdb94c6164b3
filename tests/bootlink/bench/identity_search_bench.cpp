// The whole identity search through the desktop's link: 95 "readdata" round
// trips, every slot it reads retired but the last one of the NBT asset
// area, which holds the identity record. The far end is k5210-emu in its
// boot loader, run as its own process with its line paced at 115200 baud,
// both sides at time scale 1.
//
// The reference is the line time of the bytes the search puts on the wire
// both ways: every command and every answer, 10 bits a byte at 115200 baud.
// Counters: search_ms (mean of the iterations), line_ms, ratio (median of
// search / line time per iteration; 1.0 means the link adds nothing to the
// line), reads.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "common/flash_layout.h"
#include "common/loader_wire.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/receive_thread.h"
#include "desktop/platform/serial_port.h"
#include "desktop/session/update_session.h"

namespace {

using namespace corvash;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaud = 115200;
constexpr double kBitsPerByte = 10;  // 8N1
// "readdata ADDRESS 28": 0x28 bytes of flash in each answer.
constexpr size_t kReadLength = 0x28;
// The record the search must find; its version tells it from the one that
// `init` writes.
constexpr std::string_view kRecordText = "Quor 5210NBTENG2.05";

// Every address the search reads, in its order.
std::vector<uint32_t> SearchedSlots() {
  std::vector<uint32_t> slots;
  for (const auto& area : common::kIdentitySearchAreas) {
    for (uint32_t a = area.first; a <= area.last; a += common::kSlotLength) slots.push_back(a);
  }
  return slots;
}

// Bytes on the line during one search: each framed command, and each answer
// of the loader's five own bytes, the flash bytes and "KVOE".
size_t SearchLineBytes() {
  size_t bytes = 0;
  for (uint32_t address : SearchedSlots()) {
    bytes += common::ReadDataCommand(address).size();
    bytes += common::READDATA_REPLY_SKIP + kReadLength + common::FRAME_END.size();
  }
  return bytes;
}

double LineSeconds(size_t bytes) { return static_cast<double>(bytes) * kBitsPerByte / kBaud; }

// The identity text as a slot holds it: UTF-16LE with its terminator.
std::string Utf16Record(std::string_view text) {
  std::string bytes;
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  bytes.append(2, '\0');
  return bytes;
}

// Rewrites the handheld's flash file: the three searched areas erased, each
// searched slot holding a retired record (its first bytes cleared, as the
// handheld retires a slot), the last one the live record.
bool PlaceRecordInTheLastSlot(const fs::path& flashFile) {
  std::fstream flash(flashFile, std::ios::in | std::ios::out | std::ios::binary);
  if (!flash) return false;
  const auto put = [&flash](uint32_t address, const std::string& bytes) {
    flash.seekp(static_cast<std::streamoff>(address - common::kFlashBase));
    flash.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  for (const common::SlotArea& area : {common::kReserveArea, common::kWbtAssetArea, common::kNbtAssetArea}) {
    put(area.first, std::string(area.End() - area.first, static_cast<char>(common::kErasedByte)));
  }
  const std::string live = Utf16Record(kRecordText);
  std::string retired = live;
  std::fill_n(retired.begin(), common::kRetireLength, '\0');
  const auto slots = SearchedSlots();
  for (size_t i = 0; i + 1 < slots.size(); ++i) put(slots[i], retired);
  put(slots.back(), live);
  return static_cast<bool>(flash.flush());
}

int Emu(const std::vector<std::string>& args) {
  std::string line = K5210_EMU_PATH;
  for (const auto& a : args) line += " '" + a + "'";
  line += " >/dev/null";
  return std::system(line.c_str());
}

// The handheld in its boot loader, served by its own k5210-emu process on
// wceusbsh001 of a temporary prefix at 115200 baud.
class Handheld {
 public:
  Handheld() {
    char pattern[] = "/tmp/corvash-identity-bench-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    if (Emu({"init", State().string()}) != 0 || Emu({"ctl", State().string(), "bootloader"}) != 0) return;
    if (!PlaceRecordInTheLastSlot(State() / "flash.bin")) return;
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::execl(K5210_EMU_PATH, "k5210-emu", "run", State().c_str(), "--prefix", Prefix().c_str(), "--port",
              "wceusbsh001", "--baud", std::to_string(kBaud).c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    // "ready ..." once it serves.
    FILE* lines = ::fdopen(out[0], "r");
    char line[512] = {};
    ready_ = lines != nullptr && std::fgets(line, sizeof line, lines) != nullptr &&
             std::string_view(line).rfind("ready ", 0) == 0;
    if (lines != nullptr) std::fclose(lines);
  }
  ~Handheld() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool Ready() const { return ready_; }
  fs::path Port() const { return Prefix() / "dosdevices" / "wceusbsh001"; }

 private:
  fs::path State() const { return dir_ / "state"; }
  fs::path Prefix() const { return dir_ / "prefix"; }

  fs::path dir_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// Opens the port, starts the receive thread and the command session.
bool Link(bootlink::LoaderLink& link, const fs::path& path) {
  auto opened = platform::OpenSerialPort(path);
  if (!opened.port || !opened.port->Configure()) return false;
  link.PublishPort(opened.port);
  if (!bootlink::StartReceiveThread(link)) return false;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (link.readerRunning.load() != 1) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  bootlink::OpenCommandSession(link);
  // Let the echo of the session line pass before the first measured search.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return true;
}

void BM_IdentitySearchAgainstLineTime(benchmark::State& state) {
  ::setenv("CORVASH_TIME_SCALE", "1", 1);  // for k5210-emu too
  common::SetTimeScale(1.0);
  Handheld handheld;
  if (!handheld.Ready()) return state.SkipWithError("k5210-emu did not start");
  std::atomic<uint32_t> serialLink{1};
  bootlink::LoaderLink link(nullptr, serialLink);
  if (!Link(link, handheld.Port())) return state.SkipWithError("no link to the loader");
  session::HandheldIdentity identity;
  const double line = LineSeconds(SearchLineBytes());
  double total = 0;
  std::vector<double> ratios;
  for (auto _ : state) {
    common::ClearText(identity.deviceModel);
    common::ClearText(identity.deviceVersion);
    const auto start = Clock::now();
    const bootlink::IdentityOutcome found = bootlink::ReadDeviceIdentity(link, identity);
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    if (found != bootlink::IdentityOutcome::kRead || common::TextOf(identity.deviceVersion) != "2.05") {
      state.SkipWithError("the search did not find the record in the last slot");
      break;
    }
    state.SetIterationTime(took);
    total += took;
    ratios.push_back(took / line);
  }
  bootlink::CloseCommandSession(link);
  link.Close();
  if (ratios.empty()) return;
  std::sort(ratios.begin(), ratios.end());
  state.counters["search_ms"] = 1000 * total / static_cast<double>(ratios.size());
  state.counters["line_ms"] = 1000 * line;
  state.counters["ratio"] = ratios[ratios.size() / 2];
  state.counters["reads"] = static_cast<double>(SearchedSlots().size());
}
BENCHMARK(BM_IdentitySearchAgainstLineTime)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);

}  // namespace

BENCHMARK_MAIN();
