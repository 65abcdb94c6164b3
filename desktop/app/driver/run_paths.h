#pragma once
// The folders a run works in, and the marker file it removes after a
// completed flash.
namespace corvash::session {
struct RunPaths;
}

namespace corvash::driver {

// windowsDir = the prefix's windows/ folder, markerPath = its MERLIX.ZPF,
// programDir = the current directory. A path that does not fit its field is
// left empty rather than cut, so that a cut name never points at another file.
void SetUpRunPaths(session::RunPaths& paths);

// Removes the file at markerPath (made writable first). A missing marker, an
// empty markerPath, a folder of that name or a failed removal are ignored.
void RemoveMarker(const session::RunPaths& paths);

}  // namespace corvash::driver
