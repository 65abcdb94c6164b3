#pragma once
// The reserved-area writer: records the identifier text of a
// QueryReservedArea in the reserve area (every call, a fresh slot) and its
// first 15 characters in the asset data area of the variant named in the
// text ("WBT" before "NBT"; neither: no asset area), once.
#include <cstdint>

#include "device/common/query_reserved_area.h"

namespace corvash::zembra {

// The outcome, as WriteArea reports it.
enum class WriteOutcome {
  Failed,          // status 0: refused input, or an area without a free slot
  AssetPresent,    // status 1: the asset text was there already; no output
  Done,            // status 1: the success step; output "in"
};

// Refuses (Failed, before any flash request) a Length of 0 or one whose
// 2 x Length bytes do not fit a slot, and a text whose zero terminator does
// not lie within its first Length units: such a text never reads back equal
// and would use up every slot of the area.
WriteOutcome WriteReservedAreas(const device::QueryReservedArea& query);

}  // namespace corvash::zembra
