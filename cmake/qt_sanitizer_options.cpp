// Built into every program that runs Qt, the desktop's and the emulator's
// (not into a library, so that the linker keeps it).
//
// Thread sanitizer: Qt's own libraries are not built with it, so their locks
// and atomics are invisible to it and memory that Qt allocates on one thread
// and frees on another looks unordered. The same holds for GLib, whose main
// loop Qt's event dispatcher runs on each of its threads. It is told to leave
// the allocations and frees that Qt and GLib make themselves alone; every
// access of this program's own code is still checked, except the read of an
// event's type that Qt hands from a posting thread to the GUI thread through
// its own locked queue.
//
// Leak sanitizer: fontconfig keeps a few caches for the life of the process
// that it never frees, and so does D-Bus, which Qt's X11 platform opens.
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "race:QEvent::type\n";
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so.1\n"
         "leak:libdbus-1.so.3\n";
}
