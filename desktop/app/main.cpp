// corvash: the desktop wizard. It takes no arguments but --help and
// --version, which answer on the terminal before any window code runs. The
// GUI thread serves the pages, with the services bound to the real
// subsystems, while the wizard driver runs on a thread of its own with the
// operations bound to them; the exit code is the driver's (3 when a run under
// the autopilot fails, 2 for an argument it does not know).
#include <CLI/CLI.hpp>
#include <optional>

#include "desktop/app/driver/program_start.h"
#include "desktop/app/wiring/linked_operations.h"
#include "desktop/qt/qt_program.h"
#include "desktop/qt/qt_readme_viewer.h"
#include "desktop/session/update_session.h"

namespace {

constexpr int kUsage = 2;

// The exit code when the command line asked for help, the version or held
// something unknown; nullopt when the wizard is to start.
std::optional<int> AnswerCommandLine(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  CLI::App app{"Replace the ROM image of a Quor Pocket PC (K5210): a wizard that can first save the "
               "handheld's ROM to a file, flashes a new image through the boot loader and finishes an "
               "interrupted flash. It runs in the current folder, which holds its device programs.",
               "corvash"};
  app.set_version_flag("--version", "corvash " CORVASH_VERSION);
  app.footer(
      "Environment:\n"
      "  CORVASH_PREFIX      folder of the hives, ports and sync socket (default ~/.corvash)\n"
      "  CORVASH_TIME_SCALE  factor on every wait and timer (default 1)\n"
      "  CORVASH_TRACE       file that receives trace lines\n"
      "  CORVASH_AUTOPILOT   script of the user's actions\n"
      "  CORVASH_TRANSCRIPT  file that records what the user would have seen");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : kUsage;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = AnswerCommandLine(argc, argv)) return *answered;
  // The run's values, the readme viewer and the program's parts are never
  // destroyed (and stay reachable from here): a worker thread that a page
  // started may still reach them while the process ends.
  static corvash::session::UpdateSession* const run = new corvash::session::UpdateSession;
  static corvash::qt::DesktopReadmeViewer* const readme = new corvash::qt::DesktopReadmeViewer(run->paths);
  static corvash::wiring::LinkedProgram* program = nullptr;
  const auto services = [&](corvash::session::PageHost& host, corvash::image::FileChooser& chooser) {
    program = new corvash::wiring::LinkedProgram(*run, host, chooser, *readme);
    return program->PageServices();
  };
  return corvash::qt::RunQtProgram(argc, argv, *run, services,
                                   [&](corvash::session::PageHost& host, corvash::image::FileChooser&) {
                                     const int code =
                                         corvash::driver::RunProgram(host, *run, program->Texts(), program->Operations());
                                     // The boot-loader link's threads end before the pages and the process do.
                                     program->ShutDownLink();
                                     return code;
                                   });
}
