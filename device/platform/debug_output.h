#pragma once
// The handheld's debug output: every call appends its text, as UTF-8 and as
// it stands (callers give their own "\r\n"), to debug.log in the state
// folder, in one write. Nothing is written when K5210_STATE is unset or the
// file cannot be opened. Any thread; calls from several processes interleave
// only whole texts.
#include <string_view>

#include "device/platform/ce_types.h"
#include "device/platform/wide_format.h"

namespace corvash::ce {

void OutputDebugStringW(std::u16string_view text);

// Formats into a buffer of 256 units (longer output is cut) and writes it.
template <typename... Args>
void NKDbgPrintfW(std::u16string_view format, const Args&... args) {
  WCHAR buffer[256];
  wsprintfW(std::span<WCHAR>(buffer), format, args...);
  OutputDebugStringW(TextOf(buffer));
}

}  // namespace corvash::ce
