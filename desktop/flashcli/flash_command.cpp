// flash and resume: the recovery road of the wizard without its pages.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "common/fixed_text.h"
#include "common/flash_layout.h"
#include "desktop/bootlink/flash_sequences.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/bootlink/version_box.h"
#include "desktop/flashcli/commands.h"
#include "desktop/flashcli/exit_codes.h"
#include "desktop/flashcli/flash_run.h"
#include "desktop/flashcli/handheld_link.h"
#include "desktop/flashcli/image_gate.h"
#include "desktop/flashcli/progress_report.h"
#include "desktop/flashcli/terminal_watch.h"
#include "desktop/platform/prefix.h"
#include "desktop/session/flash_settings.h"
#include "desktop/session/page_ids.h"

namespace corvash::flashcli {
namespace {

using namespace std::chrono_literals;

// The pause between the progress page's end and the version box, which
// gives the loader time to finish the second load.
constexpr uint32_t kPauseBeforeBoxMs = 1000;
constexpr auto kPollPeriod = 50ms;

// Reads a y or n from the terminal; false for anything else, end of input
// or an interrupt.
bool AskYes(FlashRun& run, const std::string& question) {
  std::cerr << question << " [y/N] " << std::flush;
  std::string answer;
  while (!run.Interrupted()) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (poll(&in, 1, 100) <= 0) continue;
    char c = 0;
    if (read(STDIN_FILENO, &c, 1) != 1 || c == '\n') break;
    answer += c;
  }
  return answer == "y" || answer == "Y" || answer == "yes";
}

struct FlashJob {
  std::string port;
  std::string imagePath;
  std::string version;
  uint64_t body = 0;
};

// Both loads under the watch; the watch's end.
WatchEnd RunLoads(FlashRun& run, ProgressReport& report, TerminalWatch& watch, const FlashJob& job) {
  bootlink::LoaderLink& link = run.Link();
  run.Watching(&watch);
  link.Watch(&watch);
  watch.ArmWatchdog(bootlink::WATCHDOG_PAGE_OPEN_MS);
  report.Stage("load 1", job.body);
  std::thread loads([&link, &job] {
    // The recovery road's pause after the identity read, then the loads.
    if (!link.Pause(bootlink::RECOVERY_START_PAUSE_MS) ||
        bootlink::RunFlashSequence(link, job.imagePath) != bootlink::FlashOutcome::kLoadsSent) {
      bootlink::EndWatchAfterFault(link);
    }
  });
  bool secondLoad = false;
  WatchEnd end = WatchEnd::kRunning;
  while ((end = watch.WaitEnd(kPollPeriod)) == WatchEnd::kRunning) {
    if (!secondLoad && link.flashState.load() >= 2) {
      secondLoad = true;
      report.Progress(job.body);
      report.Stage("load 2", job.body);
    }
  }
  run.Watching(nullptr);
  loads.join();
  // No thread of the link may still reach the watch once it goes: after a
  // completed flash the download has ended (the receive thread lives on
  // until Finish closes the link, with the watch still in place); any other
  // end takes the link down now.
  if (end == WatchEnd::kCompleted) {
    link.Download().JoinThread();
    report.Progress(job.body);
  } else {
    link.Close();
  }
  link.Watch(nullptr);
  return end;
}

int Finish(FlashRun& run, ProgressReport& report, const FlashJob& job) {
  bootlink::LoaderLink& link = run.Link();
  report.Stage("box", 0);
  link.Pause(kPauseBeforeBoxMs);
  if (link.flashState.load() == session::kFlashCompleted) bootlink::DrawVersionBox(link, job.version);
  if (run.Interrupted()) return Fail(run, report, kExitInterrupted, "interrupted");
  link.Close();
  report.Note("flashed ROM " + job.version + " on " + job.port);
  report.Result(kExitDone, "");
  return kExitDone;
}

int FlashChecked(const Request& request, FlashRun& run, ProgressReport& report, session::ChosenImage& image,
                 uint64_t body) {
  if (!request.yes && !request.canAsk) {
    return Fail(run, report, kExitUsage, "no terminal to ask on: pass --yes to flash without asking");
  }
  session::HandheldIdentity handheld;
  FlashJob job{"", std::string(common::TextOf(image.imagePath)), std::string(common::TextOf(image.imageVersion)),
               body};
  if (const int code = IdentifyHandheld(request, run, report, handheld, job.port); code != kExitDone) return code;
  if (const GateResult fit = CheckAgainstHandheld(image, handheld); fit.code != kExitDone) {
    return Fail(run, report, fit.code, fit.cause);
  }
  if (!request.yes) {
    report.EndLine();
    const std::string question = "Flash ROM " + job.version + " over " +
                                 std::string(common::TextOf(handheld.deviceVersion)) + " on " + job.port + "?";
    if (!AskYes(run, question)) return Fail(run, report, kExitRefused, "flash not confirmed; nothing was sent");
  }
  // Recorded before the first load, so that an interrupted flash can be
  // finished by resume or by the wizard's recovery.
  session::WriteFlashSettings(handheld, image, run.Link().serialLink.load());
  TerminalWatch watch(run.Link(), report, job.body);
  switch (RunLoads(run, report, watch, job)) {
    case WatchEnd::kCompleted: return Finish(run, report, job);
    case WatchEnd::kInterrupted:
      return Fail(run, report, kExitInterrupted, "interrupted");
    case WatchEnd::kRunning:
    case WatchEnd::kFailed: break;
  }
  if (watch.ImageNotOpened()) return Fail(run, report, kExitUsage, "cannot open the image " + job.imagePath);
  return Fail(run, report, kExitLinkLost,
              "the link to the boot loader was lost during the flash; the pending flash stays recorded "
              "(restart the handheld into its boot loader; corvash-flash resume finishes it)");
}

}  // namespace

int Flash(const Request& request, FlashRun& run, ProgressReport& report) {
  session::ChosenImage image;
  const GateResult gate = CheckImageFile(request.image, image);
  if (gate.code != kExitDone) return Fail(run, report, gate.code, gate.cause);
  return FlashChecked(request, run, report, image, gate.body);
}

int Resume(const Request& request, FlashRun& run, ProgressReport& report) {
  const session::FlashRecord record = session::ReadFlashSettings();
  if (record.pending == 0 || !record.imagePath || record.imagePath->empty()) {
    return Fail(run, report, kExitUsage,
                "no interrupted flash is recorded in " + platform::UserHivePath().string());
  }
  Request resumed = request;
  resumed.image = *record.imagePath;
  return Flash(resumed, run, report);
}

}  // namespace corvash::flashcli
