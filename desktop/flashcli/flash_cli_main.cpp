// corvash-flash: flash a handheld that sits in its boot loader, from a
// terminal, with the wizard's own engine.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <future>
#include <iostream>
#include <optional>
#include <thread>

#include "desktop/flashcli/commands.h"
#include "desktop/flashcli/exit_codes.h"
#include "desktop/flashcli/flash_run.h"
#include "desktop/flashcli/interrupt_signals.h"
#include "desktop/flashcli/progress_report.h"

namespace {

using namespace corvash::flashcli;
using Command = std::function<int(const Request&, FlashRun&, ProgressReport&)>;

// Runs `command` on a worker while this thread watches for SIGINT/SIGTERM.
int RunCommand(const Command& command, const Request& request, ProgressReport& report) {
  InterruptSignals signals;
  FlashRun run;
  std::packaged_task<int()> task([&] { return command(request, run, report); });
  std::future<int> result = task.get_future();
  std::thread worker(std::move(task));
  bool interrupted = false;
  while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    if (!interrupted && signals.Raised()) {
      interrupted = true;
      run.Interrupt();
    }
  }
  worker.join();
  run.Link().Close();
  report.EndLine();
  return interrupted || signals.Raised() ? kExitInterrupted : result.get();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Flash the ROM of a Quor Pocket PC K5210 that sits in its boot loader.", "corvash-flash"};
  app.set_version_flag("--version", "corvash-flash " CORVASH_VERSION);
  app.require_subcommand(1);

  std::string port;
  bool json = false;
  Request request;
  const auto addCommon = [&](CLI::App* command, bool withPort) {
    if (withPort) command->add_option("--port", port, "com1, com2, wceusbsh001, wceusbsh002 or a device path");
    command->add_flag("--json", json, "one JSON object a line");
  };
  CLI::App* ports = app.add_subcommand("ports", "List the candidate ports; --probe asks each for the boot loader");
  ports->add_flag("--probe", request.probe, "try the boot loader's echo on each port (loader, silent, busy)");
  addCommon(ports, false);
  CLI::App* identify = app.add_subcommand("identify", "Find the boot loader and read the handheld's identity");
  addCommon(identify, true);
  CLI::App* flash = app.add_subcommand("flash", "Check IMAGE against the handheld and flash it");
  flash->add_option("IMAGE", request.image, "ROM image file (.nbf)")->required();
  flash->add_flag("--yes", request.yes, "flash without asking");
  addCommon(flash, true);
  CLI::App* resume = app.add_subcommand("resume", "Finish the flash recorded as interrupted in the prefix");
  resume->add_flag("--yes", request.yes, "flash without asking");
  addCommon(resume, true);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? kExitDone : kExitUsage;
  }
  ProgressReport report(ChooseForm(json, STDOUT_FILENO), std::cout, std::cerr);
  if (!port.empty()) {
    request.port = ResolvePort(port);
    if (!request.port) {
      report.Failure("unknown port " + port + ": name com1, com2, wceusbsh001, wceusbsh002 or a device path");
      report.Result(kExitUsage, "unknown port " + port);
      return kExitUsage;
    }
  }
  request.canAsk = isatty(STDIN_FILENO) != 0;
  if (*ports) return RunCommand(&Ports, request, report);
  if (*identify) return RunCommand(&Identify, request, report);
  if (*flash) return RunCommand(&Flash, request, report);
  return RunCommand(&Resume, request, report);
}
