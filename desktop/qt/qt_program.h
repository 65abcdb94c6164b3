#pragma once
// The desktop program under Qt: the GUI thread serves pages while the
// program's body (the wizard driver) runs on a thread of its own.
//
// RunQtProgram:
//   - without DISPLAY and WAYLAND_DISPLAY (and no QT_QPA_PLATFORM chosen)
//     the pages are drawn offscreen;
//   - CORVASH_AUTOPILOT=FILE: the user's actions come from FILE
//     (autopilot_script.h), file dialogs are answered from it too; a
//     script that cannot be read, or a run that fails under it, ends the
//     program with exit code 3 and the reason on standard error;
//   - CORVASH_TRANSCRIPT=FILE: what the pages showed is written to FILE
//     (transcript.h); a transcript that cannot be created also ends the
//     program with exit code 3;
//   - makes the page host and the file chooser (Qt's dialog, or the
//     autopilot's answers), opens every page with the services that
//     `services` makes for that host and chooser (see PageServices) and the
//     values of `run`, runs `body` with the host and the chooser on its own
//     thread and returns its exit code once it has returned and the pages
//     are shut down.
// Command-line arguments are handed to Qt only; the program takes none.
#include <functional>

#include "desktop/image/file_chooser.h"
#include "desktop/pages/page_services.h"

namespace corvash::session {
class PageHost;
struct UpdateSession;
}

namespace corvash::qt {

inline constexpr int kAutopilotFailureExitCode = 3;

using ProgramBody = std::function<int(session::PageHost& host, image::FileChooser& chooser)>;
// Called once, before the first page.
using ServicesFor = std::function<pages::PageServices(session::PageHost& host, image::FileChooser& chooser)>;

// `run` and the objects that the made services refer to must live until the
// process ends: a worker that a page started may outlive the run. The host
// lives as long; the chooser until RunQtProgram returns, and no page uses it
// after the pages are shut down.
int RunQtProgram(int argc, char** argv, session::UpdateSession& run, const ServicesFor& services,
                 const ProgramBody& body);

// Chooses the offscreen platform when no display is reachable and the
// platform was not chosen. Call before the application is made.
void ChooseOffscreenWithoutDisplay();

}  // namespace corvash::qt
