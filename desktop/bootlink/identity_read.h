#pragma once
// The handheld's identity read from its flash through the boot loader: a
// walk of "readdata" commands over three areas until a reply holds the
// identity record (model, variant code, language code, version).
#include <cstdint>
#include <string_view>

#include "common/flash_layout.h"

namespace corvash::session {
struct HandheldIdentity;
}

namespace corvash::bootlink {

class LoaderLink;

// The search areas and their step are the flash layout's
// (common/flash_layout.h): all of the reserve area, then the first eleven
// slots of the WBT and of the NBT asset area.
inline constexpr uint32_t kIdentityStep = common::kSlotLength;
inline constexpr const auto& kIdentityAreas = common::kIdentitySearchAreas;
inline constexpr int kIdentityAreaCount = common::kIdentitySearchAreaCount;

// Where the search stands: the area and the address of the next read.
struct IdentityCursor {
  int area = 0;
  uint32_t address = kIdentityAreas[0].first;

  // Next address after a reply that was not the record; moves to the next
  // area's start past the end of this one. False when area 2 is exhausted.
  bool Advance();
  // Leaves the area at once (its flash is erased). False after area 2.
  bool SkipArea();
};

// The reply's first data byte says erased flash (0xFF). A reply too short
// to hold a data byte is not erased.
bool IsErasedReply(std::string_view reply);
// The reply is the identity record: it holds "Quor", "WBT" or "NBT", and one
// of the known language codes, each anywhere in the line.
bool IsIdentityRecord(std::string_view reply);
// Copies the record's fields into `identity`: reply bytes 5-13 the model,
// 14-16 the variant, 17-19 the language code, 20-23 the version. Each field
// gets those characters and its terminator; bytes missing from a short reply
// end the field early.
void TakeIdentityFields(std::string_view reply, session::HandheldIdentity& identity);

enum class IdentityOutcome {
  kRead,      // deviceModel and deviceLangCode are set
  kFailed,    // the identity could not be read: the caller shows FEHLER 116
  kLinkLost,  // the link died while a watch was open: its failure is the report
};

// Runs the search with the command session open. kRead when deviceModel and
// deviceLangCode are both set afterwards. Otherwise clears deviceModel,
// deviceVersion and deviceLangCode (deviceVariant stays), stops the
// watchdog and returns kFailed, or kLinkLost when the link was declared dead
// while the link has a watch. Each reply is awaited up to 10 s when the link
// has no watch (with one its watchdog limits the wait); every wait ends when
// linkClosed becomes 1. Blocks; any thread.
IdentityOutcome ReadDeviceIdentity(LoaderLink& link, session::HandheldIdentity& identity);

}  // namespace corvash::bootlink
