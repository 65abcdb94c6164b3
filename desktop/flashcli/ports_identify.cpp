// ports and identify.
#include <filesystem>
#include <string>

#include "common/fixed_text.h"
#include "desktop/flashcli/commands.h"
#include "desktop/flashcli/exit_codes.h"
#include "desktop/flashcli/flash_run.h"
#include "desktop/flashcli/handheld_link.h"
#include "desktop/flashcli/progress_report.h"
#include "desktop/session/update_session.h"

namespace corvash::flashcli {
namespace {

const char* AnswerName(bootlink::PortAnswer answer) {
  switch (answer) {
    case bootlink::PortAnswer::kLoader: return "loader";
    case bootlink::PortAnswer::kSilent: return "silent";
    case bootlink::PortAnswer::kBusy: return "busy";
    case bootlink::PortAnswer::kMissing: break;
  }
  return "missing";
}

void ReportPort(ProgressReport& report, const PortChoice& choice, bool exists, const char* heard) {
  if (report.Form() == ReportForm::kJson) {
    std::string object = "{\"name\":" + JsonString(choice.label) + ",\"path\":" +
                         JsonString(choice.path.string()) + ",\"exists\":" + (exists ? "true" : "false");
    if (heard) object += ",\"probe\":" + JsonString(heard);
    report.Json(object + "}");
    return;
  }
  std::string line = choice.label + "  " + choice.path.string() + "  " + (exists ? "exists" : "missing");
  if (heard) line += std::string("  ") + heard;
  report.Note(line);
}

}  // namespace

int Ports(const Request& request, FlashRun& run, ProgressReport& report) {
  for (const bootlink::PortCandidate& candidate : bootlink::PORT_CANDIDATES) {
    const PortChoice choice = request.port && request.port->candidate.name == candidate.name
                                  ? *request.port
                                  : CandidateChoice(candidate);
    std::error_code error;
    const bool exists = std::filesystem::exists(choice.path, error);
    const char* heard = nullptr;
    if (request.probe && exists) {
      heard = AnswerName(bootlink::ProbePort(run.Link(), choice.path, choice.candidate));
      run.Link().Close();
    }
    if (run.Interrupted()) return kExitInterrupted;
    ReportPort(report, choice, exists, heard);
  }
  report.Result(kExitDone, "");
  return kExitDone;
}

int Identify(const Request& request, FlashRun& run, ProgressReport& report) {
  session::HandheldIdentity handheld;
  std::string port;
  if (const int code = IdentifyHandheld(request, run, report, handheld, port); code != kExitDone) return code;
  run.Link().Close();
  const std::string model(common::TextOf(handheld.deviceModel));
  const std::string variant(common::TextOf(handheld.deviceVariant));
  const std::string language(common::TextOf(handheld.deviceLangCode));
  const std::string version(common::TextOf(handheld.deviceVersion));
  if (report.Form() == ReportForm::kJson) {
    report.Json("{\"port\":" + JsonString(port) + ",\"model\":" + JsonString(model) + ",\"variant\":" +
                JsonString(variant) + ",\"language\":" + JsonString(language) + ",\"version\":" +
                JsonString(version) + "}");
  } else {
    report.Note("port: " + port + "\nmodel: " + model + "\nvariant: " + variant + "\nlanguage: " + language +
                "\nversion: " + version);
  }
  report.Result(kExitDone, "");
  return kExitDone;
}

}  // namespace corvash::flashcli
