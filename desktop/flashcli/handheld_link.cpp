#include "desktop/flashcli/handheld_link.h"

#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/identity_read.h"
#include "desktop/flashcli/commands.h"
#include "desktop/flashcli/exit_codes.h"
#include "desktop/flashcli/flash_run.h"
#include "desktop/flashcli/progress_report.h"
#include "desktop/session/update_session.h"

namespace corvash::flashcli {

int Fail(FlashRun& run, ProgressReport& report, int code, const std::string& cause) {
  run.Link().Close();
  if (run.Interrupted()) {
    code = kExitInterrupted;
    report.Failure("interrupted; the link to the boot loader is closed (a started flash stays recorded: restart "
                   "the handheld into its boot loader and run corvash-flash resume)");
    report.Result(code, "interrupted");
    return code;
  }
  report.Failure(cause);
  report.Result(code, cause);
  return code;
}

int IdentifyHandheld(const Request& request, FlashRun& run, ProgressReport& report,
                     session::HandheldIdentity& handheld, std::string& port) {
  report.Stage("identify", 0);
  bootlink::LoaderLink& link = run.Link();
  if (!ConnectLoader(link, request.port, port) || run.Interrupted()) {
    const std::string where = request.port ? " on " + request.port->label : " on com1, wceusbsh001, wceusbsh002, com2";
    return Fail(run, report, kExitNoLoader, "no boot loader answered" + where);
  }
  bootlink::OpenCommandSession(link);
  const bootlink::IdentityOutcome identity = bootlink::ReadDeviceIdentity(link, handheld);
  bootlink::CloseCommandSession(link);
  if (identity != bootlink::IdentityOutcome::kRead || run.Interrupted()) {
    return Fail(run, report, kExitNoLoader, "the boot loader on " + port + " did not give the handheld's identity");
  }
  return kExitDone;
}

}  // namespace corvash::flashcli
