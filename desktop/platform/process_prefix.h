#pragma once
// Which prefix a process of the desktop belongs to, so that the sync-process
// stop ends only the sync software of its own prefix and its own user, never
// another prefix's or another user's programs of the same name.
//
// A process belongs to prefix P when it runs as this process's user (real
// and effective user id) and the prefix its environment names is P: its
// CORVASH_PREFIX (a relative one taken from its working folder), else its
// HOME's ".corvash", as every program of the system finds its prefix. Both
// paths are compared after resolving them canonically. A process whose user,
// environment or working folder cannot be read belongs to no prefix. Any
// thread.
#include <sys/types.h>

#include <filesystem>

namespace corvash::platform {

bool BelongsToPrefix(pid_t pid, const std::filesystem::path& prefix);

// Ends process `pid` at once when it belongs to `prefix`. The process is held
// through a process descriptor taken before the check, so that an id that a
// new process took meanwhile is never signalled. False when nothing was ended.
bool TerminatePrefixProcess(pid_t pid, const std::filesystem::path& prefix);

}  // namespace corvash::platform
