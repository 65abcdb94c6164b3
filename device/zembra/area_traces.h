#pragma once
// The debug-output lines of the reserved-area writer, one set per area.
// Lines with a value are format texts; alreadyPresent is null for the
// reserve area, which has no test for a text already there.
#include "device/platform/ce_types.h"

namespace corvash::zembra {

struct AreaTraces {
  const ce::WCHAR* outOfArea;       // the slot to try lies beyond the area
  const ce::WCHAR* readFirst;       // %lu: the first word of the slot read
  const ce::WCHAR* used;            // the slot read is not free
  const ce::WCHAR* alreadyPresent;  // the used slot holds the text already
  const ce::WCHAR* retired;         // the used slot was retired
  const ce::WCHAR* exhausted;       // no slot left after a retire
  const ce::WCHAR* readyWrite;      // %ls: the text about to be written
  const ce::WCHAR* readBack;        // %ls: the slot as read back
  const ce::WCHAR* sent;            // %ls: the text that was written
  const ce::WCHAR* wrong;           // read-back differs
};

extern const AreaTraces kReserveTraces;
extern const AreaTraces kWbtAssetTraces;
extern const AreaTraces kNbtAssetTraces;

}  // namespace corvash::zembra
