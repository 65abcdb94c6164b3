#pragma once

#include <filesystem>
#include <string>

namespace corvash::platform {

// Unix stream sockets named by a file path of any length. A path too long for
// a socket address is reached through a descriptor of its folder, so a state
// folder deep in a build tree works as well as one in /tmp.

// A socket listening at `path`, made with mode 0600 from the start so that
// there is no moment in which others may connect. A stale socket file at the
// path is replaced. Returns -1 and says why in `error` when it cannot.
int ListenLocal(const std::filesystem::path& path, int backlog, std::string* error);

// A connection to the socket at `path`; -1 when nobody listens there.
int ConnectLocal(const std::filesystem::path& path);

}  // namespace corvash::platform
