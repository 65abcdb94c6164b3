#pragma once
// The commands of corvash-flash. Each returns its exit code (exit_codes.h)
// after reporting through `report`; each runs on the run's worker thread.
#include <optional>
#include <string>

#include "desktop/flashcli/port_choice.h"

namespace corvash::flashcli {

class FlashRun;
class ProgressReport;

struct Request {
  std::optional<PortChoice> port;  // --port, resolved
  bool probe = false;              // ports --probe
  bool yes = false;                // --yes: no question
  bool canAsk = false;             // stdin is a terminal
  std::string image;               // flash IMAGE
};

// One line a candidate: name, path, whether its node exists; with probe,
// what one attempt of the port test heard (loader, silent, busy).
int Ports(const Request& request, FlashRun& run, ProgressReport& report);
// The port test, then the identity read: port, model, variant, language,
// version.
int Identify(const Request& request, FlashRun& run, ProgressReport& report);
// Checks the image, identifies the handheld, checks the image against it,
// asks, records the pending flash, runs both loads and draws the version box.
int Flash(const Request& request, FlashRun& run, ProgressReport& report);
// Flashes the image that the record of an interrupted flash names.
int Resume(const Request& request, FlashRun& run, ProgressReport& report);

}  // namespace corvash::flashcli
