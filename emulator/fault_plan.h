#pragma once
// Faults the emulated handheld can be told to show, so that the desktop's
// failure paths can be reached. Record counts run from the moment the fault
// is armed, over every download, and count the end record as a record.
//
//   silent                    answers nothing from now on (no echo either)
//   silent-after-records N    falls silent once N records have come in
//                             (N = 0: at the next sync header, before its 0x01)
//   drop-after-records N      drops the link (the pty closes, as a pulled USB
//                             cable) once N records have come in (N = 0: at the
//                             next sync header)
//   no-record-request [N]     stays alive but never sends the record request
//                             due after N records (default 0: the request for
//                             the first record, after the file header)
//   no-header-ack             never answers the next sync header with 0x01
//   busy-port                 another program holds the port: the desktop's
//                             exclusive open fails with access denied
//   clear                     lifts every fault (a silent loader answers again,
//                             a held port is freed)
//
// Every fault but silent and busy-port fires once and is then spent.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvash::emulator {

enum class FaultKind {
  None,
  Silent,
  SilentAfterRecords,
  DropAfterRecords,
  NoRecordRequest,
  NoHeaderAck,
  BusyPort,
  Clear,
};

struct Fault {
  FaultKind kind = FaultKind::None;
  uint32_t count = 0;  // N of the record faults
};

// Reads KIND and its optional count as the command line gives them. nullopt
// with a one-line reason for an unknown kind, a missing, extra or malformed
// count.
std::optional<Fault> ParseFault(std::string_view kind, std::optional<std::string_view> count,
                                std::string* error);
std::string_view FaultName(FaultKind kind);
// "drop-after-records 3": the form ParseFault reads (kind, blank, count).
std::string FaultText(const Fault& fault);

}  // namespace corvash::emulator
