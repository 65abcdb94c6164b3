#pragma once
// Which process owns the top-level window of a class, across the handheld:
// one file a class in the state folder's windows/ folder, holding the
// owner's process id and start time ("4711 123456"). The start time makes a
// file left by an ended program harmless even when its process id has been
// given to another process since. Class names are compared without regard
// to ASCII letter case. Any thread, any process.
#include <optional>
#include <string_view>

#include "device/platform/ce_types.h"

namespace corvash::ce {

// Records the calling process as the owner of `className` (replacing an
// earlier owner). False without a state folder or for a class name that
// cannot name a file.
bool RecordWindowOwner(std::u16string_view className);
// Removes the record when it still names the calling process.
void ForgetWindowOwner(std::u16string_view className);
// The process id of the running owner of `className`; nullopt when there is
// none or it has ended.
std::optional<DWORD> FindWindowOwner(std::u16string_view className);

}  // namespace corvash::ce
