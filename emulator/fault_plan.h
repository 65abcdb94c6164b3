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
//   refuse-file NAME N        after N more successful creations of a file
//                             named NAME in the file store (any folder,
//                             letter case ignored; by the desktop or a device
//                             program), creating it fails with access denied,
//                             until `clear`
//   refuse-time               the next set-system-time on the handheld refuses
//                             (a flag file in the state folder, which the
//                             refusal consumes); no running handheld needed
//   clear                     lifts every fault (a silent loader answers again,
//                             a held port is freed)
//
// Every fault but silent and busy-port fires once and is then spent.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvash::emulator {

enum class FaultKind {
  None,
  Silent,
  SilentAfterRecords,
  DropAfterRecords,
  NoRecordRequest,
  NoHeaderAck,
  BusyPort,
  RefuseFile,
  RefuseTime,
  Clear,
};

struct Fault {
  FaultKind kind = FaultKind::None;
  uint32_t count = 0;  // N of the record faults and of refuse-file
  std::string name;    // NAME of refuse-file
};

// Reads KIND and its optional count as the command line gives them. nullopt
// with a one-line reason for an unknown kind, a missing, extra or malformed
// count.
std::optional<Fault> ParseFault(std::string_view kind, std::optional<std::string_view> count,
                                std::string* error);
// The same for KIND and all its arguments as words: refuse-file takes NAME
// and N, the others at most a count.
std::optional<Fault> ParseFaultWords(const std::vector<std::string>& words, std::string* error);
std::string_view FaultName(FaultKind kind);
// "drop-after-records 3", "refuse-file backup.exe 0": the form ParseFaultWords reads.
std::string FaultText(const Fault& fault);

}  // namespace corvash::emulator
