#include "emulator/fault_plan.h"

#include <array>
#include <charconv>

namespace corvash::emulator {
namespace {

struct KindInfo {
  FaultKind kind;
  std::string_view name;
  bool takesCount;
  bool needsCount;
};

constexpr std::array<KindInfo, 9> kKinds{{
    {FaultKind::Silent, "silent", false, false},
    {FaultKind::SilentAfterRecords, "silent-after-records", true, true},
    {FaultKind::DropAfterRecords, "drop-after-records", true, true},
    {FaultKind::NoRecordRequest, "no-record-request", true, false},
    {FaultKind::NoHeaderAck, "no-header-ack", false, false},
    {FaultKind::BusyPort, "busy-port", false, false},
    {FaultKind::RefuseFile, "refuse-file", true, true},
    {FaultKind::RefuseTime, "refuse-time", false, false},
    {FaultKind::Clear, "clear", false, false},
}};

}  // namespace

std::optional<Fault> ParseFault(std::string_view kind, std::optional<std::string_view> count,
                                std::string* error) {
  for (const auto& info : kKinds) {
    if (info.name != kind) continue;
    Fault fault{info.kind, 0, {}};
    if (!count) {
      if (info.needsCount) {
        *error = "fault " + std::string(kind) + " needs a record count N";
        return std::nullopt;
      }
      return fault;
    }
    if (!info.takesCount) {
      *error = "fault " + std::string(kind) + " takes no count";
      return std::nullopt;
    }
    const char* first = count->data();
    const char* last = first + count->size();
    const auto [end, status] = std::from_chars(first, last, fault.count);
    if (status != std::errc() || end != last || count->empty()) {
      *error = "record count must be a decimal number, not \"" + std::string(*count) + "\"";
      return std::nullopt;
    }
    return fault;
  }
  *error = "unknown fault \"" + std::string(kind) +
           "\" (silent, silent-after-records N, drop-after-records N, no-record-request [N], "
           "no-header-ack, busy-port, refuse-file NAME N, refuse-time, clear)";
  return std::nullopt;
}

std::optional<Fault> ParseFaultWords(const std::vector<std::string>& words, std::string* error) {
  if (words.empty()) {
    *error = "fault needs a KIND";
    return std::nullopt;
  }
  if (words[0] == "refuse-file") {
    if (words.size() != 3 || words[1].empty()) {
      *error = "fault refuse-file needs a file NAME and a count N";
      return std::nullopt;
    }
    auto fault = ParseFault(words[0], words[2], error);
    if (fault) fault->name = words[1];
    return fault;
  }
  if (words.size() > 2) {
    *error = "fault " + words[0] + " takes at most a count";
    return std::nullopt;
  }
  return ParseFault(words[0], words.size() == 2 ? std::optional<std::string_view>(words[1]) : std::nullopt,
                    error);
}

std::string_view FaultName(FaultKind kind) {
  for (const auto& info : kKinds) {
    if (info.kind == kind) return info.name;
  }
  return "none";
}

std::string FaultText(const Fault& fault) {
  std::string text(FaultName(fault.kind));
  if (fault.kind == FaultKind::RefuseFile) text.append(" ").append(fault.name);
  for (const auto& info : kKinds) {
    if (info.kind == fault.kind && info.takesCount) text.append(" ").append(std::to_string(fault.count));
  }
  return text;
}

}  // namespace corvash::emulator
