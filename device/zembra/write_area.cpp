// Zembra.dll's export. The remote API on the handheld finds it by name and
// calls it with a QueryReservedArea as input.
#include <type_traits>

#include "common/device_extension.h"
#include "device/common/query_reserved_area.h"
#include "device/platform/local_heap.h"
#include "device/zembra/reserved_area_writer.h"
#include "device/zembra/slot_writer.h"

extern "C" __attribute__((visibility("default"))) int32_t WriteArea(uint32_t cbInput, uint8_t* pInput,
                                                                   uint32_t* pcbOutput, uint8_t** ppOutput,
                                                                   void* /*pStream*/) {
  using namespace corvash;
  // A short input would have the writer read past the caller's record.
  const auto query = pInput != nullptr ? device::UnpackQueryReservedArea({pInput, cbInput}) : std::nullopt;
  if (!query) {
    zembra::Trace(u"\r\n WriteArea: input of %d bytes is no QueryReservedArea\r\n", static_cast<int32_t>(cbInput));
    return 0;
  }
  const zembra::WriteOutcome outcome = zembra::WriteReservedAreas(*query);
  if (outcome == zembra::WriteOutcome::Failed) return 0;
  if (outcome == zembra::WriteOutcome::Done) {
    // The success step's output: the first two code units of "initial".
    ce::HLOCAL output = ce::LocalAlloc(ce::LPTR, 4);
    if (output != nullptr && pcbOutput != nullptr && ppOutput != nullptr) {
      output[0] = 'i';
      output[2] = 'n';
      *pcbOutput = 4;
      *ppOutput = output;
    } else {
      ce::LocalFree(output);
    }
    zembra::Trace(u"\r\nLine:458 -WriteArea success\r\n");
  }
  return 1;
}

static_assert(std::is_same_v<decltype(&WriteArea), DeviceExtensionFunction>);
