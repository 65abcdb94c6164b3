#pragma once
// The work that pages start but do not do themselves: watches, the backup
// pull, the flash, the clock, ActiveSync, the registry record, the backup
// target choice, the readme viewer and the teardown of the boot-loader link.
// Each is one small interface; the program gathers its implementations into
// one PageServices value at start and hands it to the page catalogue, which
// gives each page the services it uses when the page is made.
//
// Every interface has a default that does the harmless minimum (stated per
// interface), so that pages run in tests and previews without the device,
// the link or the registry. A PageServices member left out of an initializer
// is that default: PageServices{} is DefaultPageServices(), and
// PageServices{.clockSetter = clock} differs from it in the clock alone.
#include <atomic>
#include <cstdint>

#include "desktop/session/worker_page.h"

namespace corvash::bootlink {
class FlashWatch;
}

namespace corvash::pages {

class PageDialog;

// Boot-loader watch behind the boot-mode instructions page (169). Runs on a
// thread of its own that the page starts; one watch runs at a time (a new
// page's watch starts only after the previous one has returned).
class BootLoaderWatch {
 public:
  virtual ~BootLoaderWatch() = default;
  // Until `stop` is set: keeps "Zurück" (1221) enabled and "Weiter" (1)
  // disabled while the device answers over ActiveSync; once the boot loader
  // answers on a port, disables "Zurück", enables "Weiter", sets `stop` and
  // returns. The page sets `stop` from its buttons. Default: returns at once
  // ("Weiter" stays disabled).
  virtual void RunBootLoaderWatch(session::WorkerPage& page, std::atomic<uint32_t>& stop) = 0;
};

// Power status of the device and the power watch behind WARNUNG 111 (105).
class PowerWatch {
 public:
  virtual ~PowerWatch() = default;
  // Asks the device for fresh power values: the mains (AC line) status byte
  // (1 = mains power), or -1 when the status cannot be read. Default: -1.
  virtual int QueryMainsStatus() = 0;
  // Thread body of the power watch, started by the warning when no watch
  // runs: until linkClosed is set, every 100 ms enables "Weiter" (1) of
  // `warning` while the device reports mains power and disables it while it
  // reports none. `warning` forwards to whichever power warning is open.
  // Default: returns at once.
  virtual void RunPowerWatch(session::WorkerPage& warning) = 0;
};

// How a backup pull ended. `complete`: the backup file is made. Otherwise
// `screen` names the screen to show (0: none); `endsRun` says the run ends
// with it.
struct BackupEnding {
  bool complete = false;
  int screen = 0;
  bool endsRun = false;
};

// BackupWorker behind the backup progress page (132), on its own thread.
class BackupWorker {
 public:
  virtual ~BackupWorker() = default;
  // Pulls the device ROM into backupPath, driving the bar and figure of
  // `page`, and says how it ended; the page then ends itself: 1 when
  // complete, else 2 (with a run-ending screen: the page hidden, the screen
  // shown and the main window closed first; with another screen: the page
  // ended first, then the screen shown). Default: returns at once,
  // incomplete, no screen.
  virtual BackupEnding RunBackupWorker(session::WorkerPage& page) = 0;
};

// The flashing workers of the progress page (102), each run on a thread
// that the page starts: IdentifyAndFlashThread in the normal run (update or
// restore), CheckAndFlashThread in the recovery run. While the page is open
// it is the flash's watch on the boot-loader link (WatchFlash), and its
// timer 2 is the link watchdog, whose expiry the link handles
// (LinkWatchdogExpired) before the page ends with 2. Default: the workers
// return at once (the page's watchdog then ends it with 2), the rest does
// nothing.
class FlashWorkers {
 public:
  virtual ~FlashWorkers() = default;
  virtual void IdentifyAndFlashThread() = 0;
  virtual void CheckAndFlashThread() = 0;
  // Puts `watch` on the link (null: withdraws it).
  virtual void WatchFlash(bootlink::FlashWatch* watch) = 0;
  // Timer 2 expired: the link is declared dead and the image file released.
  virtual void LinkWatchdogExpired(bootlink::FlashWatch& watch) = 0;
};

// Sets the device clock from the PC clock (InvokeSetSysTime), on leaving the
// finish page (133). Blocks its caller. Default: does nothing, returns 0.
class ClockSetter {
 public:
  virtual ~ClockSetter() = default;
  virtual int InvokeSetSysTime() = 0;
};

// Starts the ActiveSync connection program again, from the reset
// instructions page (167). Default: does nothing.
class ActiveSyncControl {
 public:
  virtual ~ActiveSyncControl() = default;
  virtual void RestartActiveSync() = 0;
};

// The record of the running flash in the registry: written by the progress
// page right before it starts its worker (WriteFlashSettings), deleted when
// the flash completes (DeleteFlashSettings). Default: nothing.
class FlashSettingsWriter {
 public:
  virtual ~FlashSettingsWriter() = default;
  virtual void WriteFlashSettings() = 0;
  virtual void DeleteFlashSettings() = 0;
};

// The teardown of the boot-loader link, which the link's owner does.
class LinkTeardown {
 public:
  virtual ~LinkTeardown() = default;
  // Reset instructions page (167): takes the link down: the receive thread
  // ended, the port and the image file closed. Default: nothing.
  virtual void CloseLink() = 0;
  // FEHLER 113 on a serial link: lets go of the receive thread without
  // ending it and closes the port; a port's Close wakes a reader still
  // waiting on it. Default: nothing.
  virtual void ReleasePort() = 0;
};

// OpenReadme: shows readme.doc of the program folder in the desktop's
// viewer without waiting; failures are ignored. Default: does nothing.
class ReadmeViewer {
 public:
  virtual ~ReadmeViewer() = default;
  virtual void OpenReadme() = 0;
};

// ChooseBackupTarget, run inside the options page (109) on "Sichern".
class BackupTargetChooser {
 public:
  virtual ~BackupTargetChooser() = default;
  // Lets the user choose the backup file into backupPath; hides and shows
  // `optionsPage` around the screens it opens (WARNUNG 112, FEHLER 107).
  // Returns 1 when a target was accepted, 0 otherwise. Runs on the page's
  // thread. Default: 0 (nothing chosen).
  virtual int ChooseBackupTarget(PageDialog& optionsPage) = 0;
};

struct PageServices;

// Every default above, gathered. The value and the defaults it refers to
// live until the process ends (a detached worker may still be using one
// while the process exits). Any thread may call.
const PageServices& DefaultPageServices();

// The services of the pages, built once at program start (or by a test) and
// given to the page catalogue. The referenced objects must outlive every
// page made with them and every worker thread those pages start; their
// calls come from the page's thread or from workers, as each interface says.
struct PageServices {
  BootLoaderWatch& bootLoaderWatch = DefaultPageServices().bootLoaderWatch;
  PowerWatch& powerWatch = DefaultPageServices().powerWatch;
  BackupWorker& backupWorker = DefaultPageServices().backupWorker;
  FlashWorkers& flashWorkers = DefaultPageServices().flashWorkers;
  ClockSetter& clockSetter = DefaultPageServices().clockSetter;
  ActiveSyncControl& activeSync = DefaultPageServices().activeSync;
  FlashSettingsWriter& flashSettingsWriter = DefaultPageServices().flashSettingsWriter;
  LinkTeardown& linkTeardown = DefaultPageServices().linkTeardown;
  ReadmeViewer& readmeViewer = DefaultPageServices().readmeViewer;
  BackupTargetChooser& backupTargetChooser = DefaultPageServices().backupTargetChooser;
};

}  // namespace corvash::pages
