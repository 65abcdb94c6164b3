#include "emulator/window/window_hook.h"

#include <QApplication>
#include <cstdlib>

#include "emulator/window/handheld_window.h"

namespace corvash::emulator::window {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool CanShow(std::string* error) {
  if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
  *error = "no display to show the window on (DISPLAY is not set)";
  return false;
}

void Show(HandheldPanel& panel) {
  static int argc = 1;
  static char name[] = "k5210-emu";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  HandheldWindow window(panel);
  window.show();
  // The window closes itself when the service ends; the last window closed
  // ends the loop.
  if (!panel.Ended()) QApplication::exec();
}

}  // namespace

WindowHook QtWindowHook() { return WindowHook{CanShow, Show}; }

}  // namespace corvash::emulator::window
