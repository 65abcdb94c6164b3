// A device library for the remote API's tests: Echo hands its input back as
// output and returns its size; Crash takes its process down.
#include <csignal>
#include <cstring>

#include "common/device_extension.h"

extern "C" {

__attribute__((visibility("default"))) int32_t Echo(uint32_t cbInput, uint8_t* pInput, uint32_t* pcbOutput,
                                                    uint8_t** ppOutput, void*) {
  *ppOutput = corvash::common::DeviceLocalAlloc(cbInput);
  if (cbInput > 0) std::memcpy(*ppOutput, pInput, cbInput);
  *pcbOutput = cbInput;
  return static_cast<int32_t>(cbInput);
}

__attribute__((visibility("default"))) int32_t Crash(uint32_t, uint8_t*, uint32_t*, uint8_t**, void*) {
  std::raise(SIGSEGV);
  return 0;
}
}
