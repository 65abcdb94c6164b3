#include "desktop/qt/qt_program.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "desktop/automation/autopilot.h"
#include "desktop/pages/page_catalogue.h"
#include "desktop/session/page_host.h"
#include "desktop/session/page_ids.h"
#include "desktop/qt/qt_file_chooser.h"
#include "desktop/qt/qt_page_host.h"
#include "desktop/automation/transcript.h"
#include "desktop/resources/resource_script.h"

namespace corvash::qt {

using namespace resources::ids;
using automation::Autopilot;
using automation::AutopilotOptions;
using automation::AutopilotStep;
using automation::ParseAutopilotScript;
using automation::Transcript;

namespace {

bool Unset(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr || *value == '\0';
}

int StartFailure(const std::string& reason) {
  std::fprintf(stderr, "corvash: %s\n", reason.c_str());
  return kAutopilotFailureExitCode;
}

std::optional<std::string> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void SetProgramIcon(QApplication& app) {
  const std::vector<uint8_t> bytes = resources::ResourceScript::LoadDefault().Icon(kProgramIcon);
  QPixmap icon;
  if (!bytes.empty() && icon.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "ICO"))
    app.setWindowIcon(QIcon(icon));
}

}  // namespace

void ChooseOffscreenWithoutDisplay() {
  if (Unset("QT_QPA_PLATFORM") && Unset("DISPLAY") && Unset("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int RunQtProgram(int argc, char** argv, session::UpdateSession& run, const ServicesFor& servicesFor,
                 const ProgramBody& body) {
  ChooseOffscreenWithoutDisplay();

  std::unique_ptr<Autopilot> autopilot;
  if (const char* scriptPath = std::getenv("CORVASH_AUTOPILOT"); scriptPath != nullptr && *scriptPath != '\0') {
    const std::optional<std::string> text = ReadFile(scriptPath);
    if (!text) return StartFailure(std::string("autopilot: cannot read the script ") + scriptPath);
    std::string error;
    std::optional<std::vector<AutopilotStep>> steps = ParseAutopilotScript(*text, &error);
    if (!steps) return StartFailure("autopilot: " + error);
    autopilot = std::make_unique<Autopilot>(std::move(*steps), AutopilotOptions{});
  }
  Transcript transcript;
  if (const char* path = std::getenv("CORVASH_TRANSCRIPT"); path != nullptr && *path != '\0') {
    std::string error;
    if (!transcript.Open(path, &error)) return StartFailure(error);
  }

  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramIcon(app);

  // The host, the services its pages are made with and what the pages share
  // with their workers are never destroyed, and stay reachable from here:
  // a worker thread that a page started may still hold one of its pages
  // while the process ends, and an ended page only ignores such calls. The
  // services name the host and the file chooser, which draws through the
  // host: they are made once both exist, before the first page opens.
  static std::optional<pages::PageServices>* services = nullptr;
  static pages::PageWatches* watches = nullptr;
  static QtPageHost* s_host = nullptr;
  services = new std::optional<pages::PageServices>;
  watches = new pages::PageWatches;
  QtPageHostOptions options;
  options.makeProcedure = [services = services, watches = watches, &run](int templateId, session::PageHost& opener) {
    return pages::MakePageProcedure(templateId, **services, {run, opener, *watches});
  };
  s_host = new QtPageHost(std::move(options));
  QtPageHost& host = *s_host;
  if (transcript.IsOpen()) host.AddObserver(&transcript);
  if (autopilot) host.AddObserver(autopilot.get());
  QtFileChooser dialogChooser(host);
  std::unique_ptr<AutopilotFileChooser> scriptChooser;
  if (autopilot) scriptChooser = std::make_unique<AutopilotFileChooser>(*autopilot);
  image::FileChooser& chooser = scriptChooser ? static_cast<image::FileChooser&>(*scriptChooser) : dialogChooser;
  services->emplace(servicesFor(host, chooser));
  if (autopilot) autopilot->Start();

  int exitCode = 0;
  std::thread wizard([&] {
    exitCode = body(host, chooser);
    const int code = exitCode;
    host.PostToGui([code] { QCoreApplication::exit(code); });
  });
  app.exec();
  wizard.join();

  if (autopilot) autopilot->Stop(/*expectDone=*/true);
  host.Shutdown();
  transcript.Close();
  return exitCode;
}

}  // namespace corvash::qt
