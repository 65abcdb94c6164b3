#include <gtest/gtest.h>

#include "tests/pages_host/qt_test_support.h"

#include <cstdlib>

#include "desktop/qt/qt_page.h"

namespace corvash::pages::test {

using qt::QtPage;
using qt::QtPageHost;
using qt::QtPageHostOptions;

namespace {

constexpr const char* kScript = R"rc(
#define IDC_STATIC (-1)
900 DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "test"
FONT 8, "Arial", 400, 0, 0x0
BEGIN
    LTEXT           "",1000,10,10,180,20
    CONTROL         "",1203,"Button",BS_AUTOCHECKBOX | WS_TABSTOP,10,40,10,10
    DEFPUSHBUTTON   "Weiter",1,80,80,50,14,WS_DISABLED
    PUSHBUTTON      "Abbrechen",2,140,80,50,14
END
901 DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
FONT 8, "Arial", 400, 0, 0x0
BEGIN
    LTEXT           "",1000,10,10,180,20
    PUSHBUTTON      "Beenden",1175,140,80,50,14
END
902 DIALOGEX 0, 0, 300, 60
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP
FONT 8, "Arial", 400, 0, 0x0
BEGIN
    CONTROL         "",1020,"msctls_progress32",WS_BORDER,10,10,200,10
    RTEXT           "0",1023,220,10,20,10
    LTEXT           "",1000,10,30,280,20
END
122 DIALOGEX 0, 0, 279, 35
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP
FONT 8, "Arial", 400, 0, 0x0
BEGIN
    CTEXT           "",1072,7,8,265,20
END
STRINGTABLE
BEGIN
    11035 " Test caption"
END
)rc";

}  // namespace

QApplication& TestApplication() {
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "pages_host_tests";
    static char* argv[] = {name, nullptr};
    auto* made = new QApplication(argc, argv);
    made->setQuitOnLastWindowClosed(false);
    return made;
  }();
  return *app;
}

const resources::ResourceScript& TestScript() {
  static const resources::ResourceScript script = resources::ResourceScript::Parse(kScript);
  return script;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

std::vector<int> ProcedureLog::Ids(const std::string& what) const {
  std::vector<int> ids;
  for (const ProcedureEvent& event : Events()) {
    if (event.what == what) ids.push_back(event.id);
  }
  return ids;
}

void QtHostFixture::SetUp() {
  onCommand_ = [](PageDialog& page, int commandId) {
    if (commandId == 1 || commandId == 2 || commandId == 1175) page.End(commandId);
  };
  QtPageHostOptions options;
  options.script = &TestScript();
  options.makeProcedure = [this](int, session::PageHost&) {
    return std::make_unique<RecordingProcedure>(
        log_, [this](PageDialog& page, int id) { onCommand_(page, id); },
        [this](PageDialog& page, int id) {
          if (onTimer_) onTimer_(page, id);
        });
  };
  host_ = std::make_unique<QtPageHost>(std::move(options));
}

void QtHostFixture::TearDown() {
  host_->Shutdown();
  QCoreApplication::processEvents();
  host_.reset();
}

std::shared_ptr<QtPage> QtHostFixture::WaitForPage(int templateId) {
  std::shared_ptr<QtPage> found;
  PumpUntil([&] {
    for (const auto& page : host_->OpenPages()) {
      if (page->TemplateId() == templateId && page->Window() != nullptr) found = page;
    }
    return found != nullptr;
  });
  return found;
}

}  // namespace corvash::pages::test
