#pragma once
// Library invocation on the emulated handheld: the library (a host shared
// object from the file store) is loaded in a helper process of its own, so
// that a library that crashes or hangs takes only the helper down.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace corvash::rapi {

struct InvokeOutcome {
  bool called = false;     // the export ran and returned
  int32_t status = 0;      // its 32-bit status
  uint32_t lastError = 0;  // the device error when not called
  std::vector<uint8_t> output;
};

// Calls `function` of `library` with the extension signature
// (common/device_extension.h) in a forked helper whose environment names
// `stateDir` (K5210_STATE). The output the export allocates is copied and
// freed with DeviceLocalFree in the helper. Not called: ERROR_MOD_NOT_FOUND
// (library missing or not loadable), ERROR_PROC_NOT_FOUND (no such export),
// ERROR_INVALID_DATA (output larger than `maxOutput`), ERROR_ACCESS_DENIED
// (the helper died or took longer than `limitMs`; it is killed then).
// Any thread.
InvokeOutcome InvokeInHelper(const std::filesystem::path& library, const std::string& function,
                             std::span<const uint8_t> input, const std::filesystem::path& stateDir,
                             uint32_t limitMs, uint32_t maxOutput);

}  // namespace corvash::rapi
