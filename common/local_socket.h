#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/clock.h"

namespace corvash::common {

// Unix stream sockets named by a file path of any length. A path too long for
// a socket address is reached through a descriptor of its folder, so a state
// folder deep in a build tree works as well as one in /tmp.

// A socket listening at `path`, made with mode 0600 from the start so that
// there is no moment in which others may connect. A stale socket file at the
// path (nobody listens on it) is replaced; a socket that someone still
// serves, or anything at the path that is not a socket, is left alone and
// refused. Returns -1 and says why in `error` when it cannot.
int ListenLocal(const std::filesystem::path& path, int backlog, std::string* error);

// A connection to the socket at `path`; -1 when nobody listens there, or
// when the listener takes no connection within `waitMs` system milliseconds
// (scaled clock): a listener that never accepts fills its backlog, and a
// connect to it would otherwise wait for ever.
int ConnectLocal(const std::filesystem::path& path, uint32_t waitMs = kInfinite);

// True when a listener answers at `path` (a connection is taken, or its
// backlog is full); false when nothing is there or nobody listens.
bool LocalSocketServed(const std::filesystem::path& path);

}  // namespace corvash::common
