#pragma once
// How a device library's export is called by the remote API on the handheld
// (the extension signature): input size and bytes; out: output size and
// output buffer; a stream pointer that is not used. The export returns its
// 32-bit status. An output buffer is allocated with DeviceLocalAlloc and
// released by the remote-API layer with DeviceLocalFree after delivery.
//
// Device libraries are host shared objects (Zembra.dll, Dovrin.dll,
// Havlok.dll) that the emulated handheld loads from its file store with
// dlopen and calls by export name.
#include <cstdint>
#include <cstdlib>

extern "C" {
typedef int32_t (*DeviceExtensionFunction)(uint32_t cbInput, uint8_t* pInput, uint32_t* pcbOutput,
                                           uint8_t** ppOutput, void* pStream);
}

namespace corvash::common {

// The handheld's local heap: one allocator for libraries and the remote-API
// layer, so that what a library allocates the layer can free.
inline uint8_t* DeviceLocalAlloc(uint32_t size) { return static_cast<uint8_t*>(std::calloc(size == 0 ? 1 : size, 1)); }
inline void DeviceLocalFree(uint8_t* block) { std::free(block); }

}  // namespace corvash::common
