#pragma once
#include "desktop/pages/page_ids.h"

// Dialog templates the wizard driver opens, and the option page's results.
namespace corvash::driver {

// Page and screen templates: the shared table.
using namespace pages;  // the ids read as the driver's own

// Results of the option page.
inline constexpr int kOptionUpdate = 1035;
inline constexpr int kOptionRestore = 1036;
inline constexpr int kOptionBackup = 1000;

// Result of the progress pages when the work completed.
inline constexpr int kPageSucceeded = 1;
// flashState after the second download: the flash is complete.
inline constexpr unsigned kFlashCompleted = 3;

}  // namespace corvash::driver
