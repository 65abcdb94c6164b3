// Built into the programs of this folder that run Qt (not into a library,
// so that the linker keeps it). Qt's libraries are not built with the thread
// sanitizer: their locks and atomics are invisible to it, so what Qt itself
// allocates and frees is left alone, and the event type that Qt hands from a
// posting thread to the GUI thread through its own locked queue. Every access
// of our own code is still checked. fontconfig keeps caches for the life of
// the process.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "race:QEvent::type\n";
}

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so.1\n"; }
