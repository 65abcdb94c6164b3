#pragma once
// Dialog templates of the pages and screens, their controls and texts, as the
// desktop's operations name them. The names are corvash.rc's own, written
// into resources/resource_ids.h by the build (kPageWelcome, kScreenUpdateError,
// kButtonBack, kTextWeiter, ...); this header makes them the pages' names.
#include "desktop/resources/resource_ids.h"

namespace corvash::session {

using namespace resources::ids;

// Results of the option page: the buttons pressed, or a backup target chosen.
inline constexpr int kOptionUpdate = kUpdateButton;
inline constexpr int kOptionRestore = kRestoreButton;
inline constexpr int kOptionBackup = 1000;

// Result of the progress pages when the work completed.
inline constexpr int kPageSucceeded = 1;
// flashState after the second download: the flash is complete.
inline constexpr unsigned kFlashCompleted = 3;

}  // namespace corvash::session
