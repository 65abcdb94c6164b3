#pragma once
// The first steps of identify, flash and resume: the loader found, the
// handheld's identity read in a command session.
#include <string>

namespace corvash::session {
struct HandheldIdentity;
}

namespace corvash::flashcli {

class FlashRun;
class ProgressReport;
struct Request;

// kExitDone with `handheld` read and the link open on `port`; otherwise the
// exit code, the failure reported and the link closed.
int IdentifyHandheld(const Request& request, FlashRun& run, ProgressReport& report,
                     session::HandheldIdentity& handheld, std::string& port);

// Reports `cause` as the run's failure with `code`, closing the link.
int Fail(FlashRun& run, ProgressReport& report, int code, const std::string& cause);

}  // namespace corvash::flashcli
