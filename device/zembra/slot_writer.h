#pragma once
// Recording a text in an area of 52-byte flash slots, through one kernel
// I/O-control request per slot read or write. Nothing here erases: a used
// slot is retired by clearing its first 8 bytes and the next slot is taken;
// every write is read back and compared. No state outlives a call.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/flash_layout.h"
#include "device/platform/kernel_io_control.h"
#include "device/zembra/area_traces.h"

namespace corvash::zembra {

// One slot request at a time to the hardware layer; keeps the last request
// (traced between the phases) and the last slot read.
class SlotIo {
 public:
  using Slot = std::array<uint8_t, common::kSlotLength>;

  // Reads the slot at `address`, `data` passed along as the request's buffer.
  const Slot& Read(uint32_t address, std::span<const uint8_t> data);
  // Programs `bytes` at `address`.
  void Write(uint32_t address, std::span<const uint8_t> bytes);

  const ce::QELWriteData& LastRequest() const { return last_; }
  // The bytes the last request's data pointer named.
  std::span<const uint8_t> LastData() const { return lastData_; }

 private:
  void Send(uint32_t command, uint32_t address, std::span<const uint8_t> data, uint32_t length);

  ce::QELWriteData last_;
  std::span<const uint8_t> lastData_;
  Slot readBack_{};
};

// The zero-terminated UTF-16 text at the start of a slot (never past it).
std::u16string TextOfSlot(const SlotIo::Slot& slot);
uint32_t FirstWord(const SlotIo::Slot& slot);

enum class AreaResult { Written, AlreadyPresent, Full };

struct AreaText {
  std::span<const uint8_t> bytes;  // what is programmed into the slot
  std::u16string_view text;        // what the slot must read as afterwards
  std::span<const uint8_t> readData;  // passed along on reads of this area
};

// Finds the first free slot of `area` (retiring the used ones before it),
// writes the text, reads it back, and on a mismatch moves on to the next
// slot. With traces.alreadyPresent set, a used slot that already reads as
// the text ends the search with AlreadyPresent and writes nothing.
AreaResult RecordText(SlotIo& io, const common::SlotArea& area, const AreaTraces& traces, const AreaText& text);

// Formats one trace line into a 100-unit buffer and writes it to the debug output.
void Trace(const ce::WCHAR* line);
void Trace(const ce::WCHAR* format, uint32_t value);
void Trace(const ce::WCHAR* format, int32_t value);
void Trace(const ce::WCHAR* format, std::u16string_view value);

}  // namespace corvash::zembra
