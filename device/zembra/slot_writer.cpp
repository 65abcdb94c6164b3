#include "device/zembra/slot_writer.h"

#include <string>

#include "common/utf16_text.h"
#include "device/platform/debug_output.h"
#include "device/platform/wide_format.h"

namespace corvash::zembra {
namespace {

constexpr std::array<uint8_t, common::kRetireLength> kRetirePattern{};

template <typename Value>
void TraceValue(const ce::WCHAR* format, const Value& value) {
  ce::WCHAR line[100];
  ce::wsprintfW(std::span<ce::WCHAR>(line), format, value);
  ce::OutputDebugStringW(ce::TextOf(line));
}

}  // namespace

void Trace(const ce::WCHAR* line) { ce::OutputDebugStringW(line); }
void Trace(const ce::WCHAR* format, uint32_t value) { TraceValue(format, value); }
void Trace(const ce::WCHAR* format, int32_t value) { TraceValue(format, value); }
void Trace(const ce::WCHAR* format, std::u16string_view value) { TraceValue(format, value); }

std::u16string TextOfSlot(const SlotIo::Slot& slot) { return common::ReadUtf16Field(slot, slot.size() / 2); }

uint32_t FirstWord(const SlotIo::Slot& slot) {
  return static_cast<uint32_t>(slot[0]) | (static_cast<uint32_t>(slot[1]) << 8) |
         (static_cast<uint32_t>(slot[2]) << 16) | (static_cast<uint32_t>(slot[3]) << 24);
}

void SlotIo::Send(uint32_t command, uint32_t address, std::span<const uint8_t> data, uint32_t length) {
  last_ = ce::QELWriteData{command, address, length, data.data()};
  lastData_ = data;
  // The call's own result tells nothing the read-back does not: a failed
  // request shows as a slot that reads wrong or still free.
  ce::KernelIoControl(ce::IOCTL_HAL_FLASH_ACCESS, &last_, sizeof last_, readBack_.data(),
                      static_cast<ce::DWORD>(readBack_.size()), nullptr);
}

const SlotIo::Slot& SlotIo::Read(uint32_t address, std::span<const uint8_t> data) {
  Send(ce::QEL_READ, address, data, common::kSlotLength);
  return readBack_;
}

void SlotIo::Write(uint32_t address, std::span<const uint8_t> bytes) {
  Send(ce::QEL_WRITE, address, bytes, static_cast<uint32_t>(bytes.size()));
}

AreaResult RecordText(SlotIo& io, const common::SlotArea& area, const AreaTraces& traces, const AreaText& text) {
  uint32_t slot = area.first;
  while (true) {
    if (slot > area.lastStart) {
      Trace(traces.outOfArea);
      return AreaResult::Full;
    }
    SlotIo::Slot current = io.Read(slot, text.readData);
    Trace(traces.readFirst, FirstWord(current));
    while (FirstWord(current) != common::kFreeSlotWord) {
      Trace(traces.used);
      if (traces.alreadyPresent != nullptr && TextOfSlot(current) == text.text) {
        Trace(traces.alreadyPresent);
        return AreaResult::AlreadyPresent;
      }
      io.Write(slot, kRetirePattern);
      Trace(traces.retired);
      slot += common::kSlotLength;
      if (slot > area.lastStart) {
        Trace(traces.exhausted);
        return AreaResult::Full;
      }
      current = io.Read(slot, text.readData);
    }
    Trace(traces.readyWrite, text.text);
    io.Write(slot, text.bytes);
    const std::u16string readBack = TextOfSlot(io.Read(slot, text.readData));
    Trace(traces.readBack, std::u16string_view(readBack));
    Trace(traces.sent, text.text);
    if (readBack == text.text) return AreaResult::Written;
    Trace(traces.wrong);
    slot += common::kSlotLength;
  }
}

}  // namespace corvash::zembra
