#pragma once
// The closing picture of a completed flash: a frame of asterisks drawn on the
// handheld's screen with "shmsg" commands, the new image's version inside.
#include <array>
#include <string>
#include <string_view>

namespace corvash::bootlink {

class LoaderLink;

inline constexpr size_t kVersionBoxLineCount = 16;

// The 16 "shmsg" lines in the order they are sent. The version characters
// are the first four of `version`; a missing one is drawn as a blank so that
// every line stays whole.
std::array<std::string, kVersionBoxLineCount> VersionBoxLines(std::string_view version);

// Sends the CR burst first when the command session is open (and marks it
// closed), then the 16 lines with their pauses: 100 ms after lines 1-6 and
// 10-15, lines 7-10 back to back, 1000 ms after line 16. `version` is the
// new image's version. Send failures are left to SendString (link closed,
// watchdog armed); the remaining lines are then refused. Called by the
// wizard driver after a completed flash, on its own thread.
void DrawVersionBox(LoaderLink& link, std::string_view version);

}  // namespace corvash::bootlink
