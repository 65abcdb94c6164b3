#include "emulator/command_line.h"

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <cstdio>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

#include "common/file_store_paths.h"
#include "emulator/control_socket.h"
#include "emulator/emulated_handheld.h"
#include "emulator/fault_plan.h"
#include "emulator/flash_image.h"
#include "emulator/handheld_state.h"
#include "emulator/loader_commands.h"
#include "emulator/pty_endpoint.h"
#include "emulator/served_panel.h"
#include "emulator/served_prefix.h"
#include "emulator/text_screen.h"

namespace corvash::emulator {
namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr uint32_t kMaxShowLength = 64u << 20;

struct Arguments {
  std::string state;
  // init
  std::string variant, language, version, rom;
  uint32_t flashMb = 32;
  // run
  std::string prefix, port = "wceusbsh001";
  uint32_t baud = 0;
  bool window = false;
  // ctl, fault
  std::string action, faultKind;
  std::vector<std::string> faultArgs;
  // show
  std::vector<std::string> flash;
  bool raw = false;
  bool screen = false;
  bool files = false;
  bool clock = false;
};

class Command {
 public:
  Command(const Arguments& args, const WindowHook& window, std::ostream& out, std::ostream& err)
      : args_(args), window_(window), out_(out), err_(err) {}

  int Init();
  int Run();
  int Ctl();
  int Fault();
  int Show();

 private:
  int Usage(const std::string& text) {
    err_ << "k5210-emu: " << text << "\n";
    return kUsage;
  }
  int Failure(const std::string& text) {
    err_ << "k5210-emu: " << text << "\n";
    return kFailed;
  }
  // Sends a request to the running handheld; nullopt when none runs.
  std::optional<int> Request(const std::string& request);
  int ShowFlash();
  int ShowScreen();
  int ShowFiles();
  int ShowClock();

  const Arguments& args_;
  const WindowHook& window_;
  std::ostream& out_;
  std::ostream& err_;
};

int Command::Init() {
  const StateFolder state(args_.state);
  if (StateIsServed(state)) return Usage(args_.state + " is being served; switch it off first");
  InitOptions options;
  if (!args_.variant.empty()) options.variant = args_.variant;
  if (!args_.language.empty()) options.language = args_.language;
  if (!args_.version.empty()) options.version = args_.version;
  options.flashMb = args_.flashMb;
  options.rom = args_.rom;
  std::string error;
  if (!InitHandheld(args_.state, options, &error)) return Usage(error);
  return kDone;
}

int Command::Run() {
  if (!ValidPortName(args_.port)) return Usage("unknown port \"" + args_.port + "\"");
  const StateFolder state(args_.state);
  if (StateIsServed(state)) return Usage(args_.state + " is served by another k5210-emu already");
  if (const std::string served = PrefixServedBy(args_.prefix); !served.empty()) return Usage(served);
  std::string error;
  if (args_.window && !window_.show) return Usage("--window: this k5210-emu was built without its window");
  if (args_.window && window_.canShow && !window_.canShow(&error)) return Usage("--window: " + error);
  std::shared_ptr<EmulatedHandheld> handheld = EmulatedHandheld::Open(args_.state, &error);
  if (!handheld) return Usage(error);

  // SIGTERM and SIGINT end the service; they are taken by one thread only.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ServeOptions options;
  options.baud = args_.baud;
  // The sync software's programs are built beside k5210-emu.
  std::error_code code;
  options.syncPrograms = std::filesystem::read_symlink("/proc/self/exe", code).parent_path();
  if (code) return Failure("cannot find k5210-emu's own folder: " + code.message());
  if (!handheld->Start(args_.prefix, args_.port, &error, options)) return Failure(error);
  std::thread([handheld, signals] {
    int signal = 0;
    sigwait(&signals, &signal);
    handheld->RequestStop();
  }).detach();
  out_ << "ready " << handheld->PortLink().string() << " " << handheld->PortDevice().string() << std::endl;
  if (args_.window) {
    // The window runs on this thread; closing it leaves the handheld served
    // until SIGTERM or `ctl off`, which also close the window.
    ServedPanel panel(*handheld, args_.state);
    std::thread waiter([&handheld, &panel] {
      handheld->WaitForStop();
      panel.MarkEnded();
    });
    window_.show(panel);
    waiter.join();
  }
  handheld->WaitForStop();
  handheld->Stop();
  return kDone;
}

std::optional<int> Command::Request(const std::string& request) {
  const StateFolder state(args_.state);
  const auto answer = SendControlRequest(state.ControlSocketPath(), request);
  if (!answer) {
    if (StateIsServed(state)) return Failure("the handheld in " + args_.state + " does not answer");
    return std::nullopt;
  }
  if (*answer == "ok") return kDone;
  return Failure(answer->rfind("error ", 0) == 0 ? answer->substr(6) : *answer);
}

int Command::Ctl() {
  static const std::vector<std::string> kActions = {"system", "bootloader", "off", "mains",
                                                    "battery", "unplug", "plug"};
  if (std::find(kActions.begin(), kActions.end(), args_.action) == kActions.end()) {
    return Usage("unknown action \"" + args_.action + "\" (system, bootloader, off, mains, battery, unplug, plug)");
  }
  std::string error;
  auto handheld = EmulatedHandheld::Open(args_.state, &error);
  if (!handheld) return Usage(error);
  handheld.reset();
  if (const auto done = Request("ctl " + args_.action)) return *done;
  // Not running: the change waits in the state folder for the next run.
  handheld = EmulatedHandheld::Open(args_.state, &error);
  if (!handheld || !handheld->Control(args_.action, &error)) return Failure(error);
  return kDone;
}

int Command::Fault() {
  std::string error;
  std::vector<std::string> words{args_.faultKind};
  words.insert(words.end(), args_.faultArgs.begin(), args_.faultArgs.end());
  const auto fault = ParseFaultWords(words, &error);
  if (!fault) return Usage(error);
  HandheldConfig config;
  if (!StateFolder(args_.state).Load(&config, &error)) return Usage(error);
  if (fault->kind == FaultKind::RefuseTime || fault->kind == FaultKind::Clear) {
    // The clock is set by the device libraries against the state folder,
    // which take this flag as the fault; it waits there for the next call.
    const std::filesystem::path flag = StateFolder(args_.state).RefuseTimeFlagPath();
    if (fault->kind == FaultKind::RefuseTime) {
      if (!ReplaceFile(flag, "\n")) return Failure("cannot write " + flag.string());
      return kDone;
    }
    std::error_code code;
    std::filesystem::remove(flag, code);
  }
  if (const auto done = Request("fault " + FaultText(*fault))) return *done;
  return Usage("no handheld runs in " + args_.state + " (start it with run)");
}

int Command::Show() {
  const int chosen = (args_.flash.empty() ? 0 : 1) + (args_.screen ? 1 : 0) + (args_.files ? 1 : 0) +
                     (args_.clock ? 1 : 0);
  if (chosen != 1) return Usage("show takes one of --flash ADDR LENGTH, --screen, --files, --clock");
  HandheldConfig config;
  std::string error;
  if (!StateFolder(args_.state).Load(&config, &error)) return Usage(error);
  if (args_.files) return ShowFiles();
  if (args_.clock) return ShowClock();
  return args_.screen ? ShowScreen() : ShowFlash();
}

int Command::ShowFiles() {
  const std::filesystem::path root = StateFolder(args_.state).FileStoreDir();
  std::vector<std::pair<std::string, uintmax_t>> files;
  std::error_code code;
  for (std::filesystem::recursive_directory_iterator it(root, code), end; !code && it != end; it.increment(code)) {
    if (!it->is_regular_file(code)) continue;
    files.emplace_back(common::DevicePathOf(root, it->path()), it->file_size(code));
  }
  std::sort(files.begin(), files.end());
  for (const auto& [path, size] : files) out_ << path << " " << size << "\n";
  return kDone;
}

int Command::ShowClock() {
  const std::time_t now = static_cast<std::time_t>(StateFolder(args_.state).ClockNow());
  std::tm utc{};
  if (::gmtime_r(&now, &utc) == nullptr) return Failure("the handheld's clock is out of range");
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  out_ << text << "\n";
  return kDone;
}

int Command::ShowScreen() {
  TextScreen screen;
  screen.Load(StateFolder(args_.state).LoadScreen());
  out_ << screen.Text();
  return kDone;
}

int Command::ShowFlash() {
  const auto address = ParseHex32(args_.flash[0]);
  const auto length = ParseHex32(args_.flash[1]);
  if (!address || !length || *length > kMaxShowLength) {
    return Usage("--flash takes a hexadecimal address and length (at most 4000000)");
  }
  std::string error;
  const auto flash = FlashImage::OpenFile(StateFolder(args_.state).FlashPath(), kFlashBase, &error);
  if (!flash) return Usage(error);
  std::vector<uint8_t> bytes(*length);
  flash->Read(*address, bytes);
  if (args_.raw) {
    out_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out_ ? kDone : kFailed;
  }
  for (size_t row = 0; row < bytes.size(); row += 16) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x ", static_cast<uint32_t>(*address + row));
    out_ << text;
    std::string printable;
    for (size_t i = row; i < row + 16; ++i) {
      if (i < bytes.size()) {
        std::snprintf(text, sizeof text, " %02x", bytes[i]);
        out_ << text;
        printable.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.');
      } else {
        out_ << "   ";
      }
    }
    out_ << "  |" << printable << "|\n";
  }
  return kDone;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const WindowHook& window) {
  Arguments args;
  CLI::App app{"k5210-emu: a virtual Quor 5210 handheld for tests and demos", "k5210-emu"};
  app.set_version_flag("--version", "k5210-emu " CORVASH_VERSION);
  app.require_subcommand(1);

  auto* init = app.add_subcommand("init", "make a handheld in folder STATE");
  init->add_option("STATE", args.state, "state folder")->required();
  init->add_option("--variant", args.variant, "NBT or WBT (default NBT, or the ROM's)");
  init->add_option("--language", args.language, "language code (default ENG, or the ROM's)");
  init->add_option("--version", args.version, "ROM version (default 2.04, or the ROM's)");
  init->add_option("--flash-mb", args.flashMb, "flash size the handheld reports, MiB")->capture_default_str();
  init->add_option("--rom", args.rom, "image file whose payload becomes the ROM");

  auto* run = app.add_subcommand("run", "serve the handheld until SIGTERM or ctl off");
  run->add_option("STATE", args.state, "state folder")->required();
  run->add_option("--prefix", args.prefix, "corvash prefix whose dosdevices/ gets the port")->required();
  run->add_option("--port", args.port, "com1, com2, wceusbsh001 or wceusbsh002")->capture_default_str();
  run->add_option("--baud", args.baud, "line speed (10 bits a byte); 0 = unthrottled")->capture_default_str();
  run->add_flag("--window", args.window, "show the handheld in a window (closing it keeps the handheld served)");

  auto* ctl = app.add_subcommand("ctl", "act on the handheld as its user would");
  ctl->add_option("STATE", args.state, "state folder")->required();
  ctl->add_option("ACTION", args.action, "system|bootloader|off|mains|battery|unplug|plug")->required();

  auto* fault = app.add_subcommand("fault", "arm a fault in the running handheld");
  fault->add_option("STATE", args.state, "state folder")->required();
  fault->add_option("KIND", args.faultKind,
                    "silent, silent-after-records, drop-after-records, no-record-request, no-header-ack, "
                    "busy-port, refuse-file, refuse-time, clear")
      ->required();
  fault->add_option("ARGS", args.faultArgs, "record count N, or for refuse-file: NAME N")->expected(0, 2);

  auto* show = app.add_subcommand("show", "print flash bytes, the text screen, the file store or the clock");
  show->add_option("STATE", args.state, "state folder")->required();
  show->add_option("--flash", args.flash, "ADDR LENGTH, both hexadecimal")->expected(2);
  show->add_flag("--raw", args.raw, "with --flash: the bytes as they are");
  show->add_flag("--screen", args.screen, "the boot loader's text screen");
  show->add_flag("--files", args.files, "the file store: device path and size a line");
  show->add_flag("--clock", args.clock, "the handheld's clock, UTC");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help, out, err);
  } catch (const CLI::CallForAllHelp& help) {
    return app.exit(help, out, err);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version, out, err);
  } catch (const CLI::ParseError& error) {
    err << "k5210-emu: " << error.what() << "\n";
    return kUsage;
  }
  Command command(args, window, out, err);
  if (init->parsed()) return command.Init();
  if (run->parsed()) return command.Run();
  if (ctl->parsed()) return command.Ctl();
  if (fault->parsed()) return command.Fault();
  return command.Show();
}

}  // namespace corvash::emulator
