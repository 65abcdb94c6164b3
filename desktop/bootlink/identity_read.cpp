#include "desktop/bootlink/identity_read.h"

#include <array>
#include <string>

#include "common/loader_wire.h"
#include "desktop/bootlink/command_channel.h"
#include "desktop/bootlink/loader_link.h"
#include "desktop/bootlink/progress_watchdog.h"
#include "desktop/session/update_session.h"
#include "common/clock.h"
#include "desktop/platform/trace.h"

namespace corvash::bootlink {
namespace {

using common::Contains;

// The longest time between two looks at frameReply.
constexpr uint32_t kLookMs = 10;
// Limit of one reply wait while no progress page (and so no watchdog) exists.
constexpr uint32_t kUnwatchedReplyMs = 10000;

constexpr std::array<std::string_view, 10> kLanguageCodes = {
    "ENG", "JPN", "FRE", "GER", "ITA", "SPA", "PTB", "POT", "CHT", "CHS"};

// Record layout inside the reply line.
constexpr size_t kModelAt = common::READDATA_REPLY_SKIP;
constexpr size_t kModelLength = 9;
constexpr size_t kVariantAt = 14;
constexpr size_t kCodeLength = 3;
constexpr size_t kLangCodeAt = 17;
constexpr size_t kVersionAt = 20;
constexpr size_t kVersionLength = 4;

std::string_view Slice(std::string_view reply, size_t at, size_t length) {
  if (at >= reply.size()) return {};
  return reply.substr(at, length);
}


enum class Reply { kArrived, kNoAnswer, kLinkClosed };

// Waits for frameReply to hold a line with "KVOE": looks as soon as the
// receive thread announces a reply, and at least every 10 ms.
Reply AwaitFrameReply(LoaderLink& link, std::string& reply) {
  const auto deadline = common::DeadlineAfter(kUnwatchedReplyMs);
  for (;;) {
    const uint64_t seen = link.Signals().Count();
    if (link.linkClosed.load() == 1) return Reply::kLinkClosed;
    reply = link.FrameReply();
    if (Contains(reply, common::FRAME_REPLY_KEY)) return Reply::kArrived;
    if (link.Watcher() == nullptr && std::chrono::steady_clock::now() >= deadline) return Reply::kNoAnswer;
    link.Signals().Wait(seen, kLookMs);
  }
}

void RequestRead(LoaderLink& link, uint32_t address) {
  SendReadData(link, address);
  link.ArmWatchdog(WATCHDOG_IDENTITY_MS);
}

enum class Search { kFound, kNotFound, kLinkClosed };

Search SearchIdentityRecord(LoaderLink& link, session::HandheldIdentity& identity) {
  IdentityCursor cursor;
  link.SetFrameReply("");  // a reply left from earlier is not this search's
  RequestRead(link, cursor.address);
  std::string reply;
  for (;;) {
    const Reply outcome = AwaitFrameReply(link, reply);
    if (outcome == Reply::kLinkClosed) return Search::kLinkClosed;
    if (outcome == Reply::kNoAnswer) {
      platform::TraceF("\r\n No readdata reply from %x\r\n", cursor.address);
      return Search::kNotFound;
    }
    if (IsErasedReply(reply)) {
      link.ArmWatchdog(WATCHDOG_IDENTITY_MS);
      link.SetFrameReply("");
      if (!cursor.SkipArea()) return Search::kNotFound;
      RequestRead(link, cursor.address);
      continue;
    }
    link.KillWatchdog();
    if (IsIdentityRecord(reply)) {
      TakeIdentityFields(reply, identity);
      return Search::kFound;
    }
    link.SetFrameReply("");
    if (!cursor.Advance()) {
      platform::Trace("\r\n Identity record not found: address limit passed\r\n");
      return Search::kNotFound;
    }
    RequestRead(link, cursor.address);
  }
}

}  // namespace

bool IdentityCursor::Advance() {
  address += kIdentityStep;
  if (address <= kIdentityAreas[area].last) return true;
  return SkipArea();
}

bool IdentityCursor::SkipArea() {
  if (area + 1 >= kIdentityAreaCount) return false;
  ++area;
  address = kIdentityAreas[area].first;
  return true;
}

bool IsErasedReply(std::string_view reply) {
  return reply.size() > common::READDATA_REPLY_SKIP &&
         static_cast<uint8_t>(reply[common::READDATA_REPLY_SKIP]) == common::ERASED_BYTE;
}

bool IsIdentityRecord(std::string_view reply) {
  if (!Contains(reply, "Quor")) return false;
  if (!Contains(reply, "WBT") && !Contains(reply, "NBT")) return false;
  for (std::string_view code : kLanguageCodes) {
    if (Contains(reply, code)) return true;
  }
  return false;
}

void TakeIdentityFields(std::string_view reply, session::HandheldIdentity& identity) {
  common::CopyText(identity.deviceModel, Slice(reply, kModelAt, kModelLength));
  common::CopyText(identity.deviceVariant, Slice(reply, kVariantAt, kCodeLength));
  common::CopyText(identity.deviceLangCode, Slice(reply, kLangCodeAt, kCodeLength));
  common::CopyText(identity.deviceVersion, Slice(reply, kVersionAt, kVersionLength));
}

IdentityOutcome ReadDeviceIdentity(LoaderLink& link, session::HandheldIdentity& identity) {
  const Search search = SearchIdentityRecord(link, identity);
  if (search != Search::kFound) {
    common::ClearText(identity.deviceModel);
    common::ClearText(identity.deviceVersion);
    common::ClearText(identity.deviceLangCode);
  }
  if (!common::TextOf(identity.deviceModel).empty() && !common::TextOf(identity.deviceLangCode).empty()) {
    return IdentityOutcome::kRead;
  }
  link.KillWatchdog();
  // With a watch open, a dead link ends the watch and the watch's failure is
  // what the user is shown.
  if (search == Search::kLinkClosed && link.Watcher() != nullptr) return IdentityOutcome::kLinkLost;
  return IdentityOutcome::kFailed;
}

}  // namespace corvash::bootlink
