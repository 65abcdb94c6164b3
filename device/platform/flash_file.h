#pragma once
// The handheld's flash as the hardware layer reaches it: flash.bin in the
// state folder, boot-loader address 0xA0000000 at offset 0. Flash is NOR:
// programming only clears bits (new = old & data) and nothing here erases.
// Every access to the flash file goes through this pair of files.
//
// Any thread, any process: a program holds a lock on the bytes it programs
// while it reads, combines and writes them back, so concurrent programs of
// the same bytes do not lose bits.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "device/platform/ce_types.h"

namespace corvash::ce {

// Reads out.size() bytes from `address`. Returns ERROR_SUCCESS, or the
// error: ERROR_NOT_READY (no state folder or no flash file),
// ERROR_INVALID_PARAMETER (the range leaves the flash), ERROR_READ_FAULT.
DWORD ReadFlash(uint32_t address, std::span<uint8_t> out);
// Programs `bytes` at `address`. Errors as ReadFlash, ERROR_WRITE_FAULT.
DWORD ProgramFlash(uint32_t address, std::span<const uint8_t> bytes);

// A read-only view of the flash from a page-aligned address, mapped shared,
// so that it shows what is programmed while it lives. A stray write through
// it faults instead of changing the flash.
// Maps `length` bytes of flash from `address` read-only and shared over the
// page-aligned range at `where`, replacing what was mapped there (a range
// the caller reserved). ERROR_SUCCESS, or the errors of FlashView::Map.
DWORD MapFlashOver(void* where, uint32_t address, size_t length);

class FlashView {
 public:
  ~FlashView();
  FlashView(const FlashView&) = delete;
  FlashView& operator=(const FlashView&) = delete;
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

  // Null with `*error` set when the state folder has no flash file or the
  // range does not lie inside it.
  static std::unique_ptr<FlashView> Map(uint32_t address, size_t length, DWORD* error);

 private:
  FlashView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* data_;
  size_t size_;
};

}  // namespace corvash::ce
