#pragma once
// The values of the window, dialog and control style names that resource
// scripts use (the Windows headers' values), so that a script can be read
// without those headers.
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvash::resources {

// The value of a style or well-known constant name, nullopt if unknown.
std::optional<int64_t> StyleValue(std::string_view name);

}  // namespace corvash::resources
