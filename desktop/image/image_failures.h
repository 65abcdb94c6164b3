#pragma once
// The screens shared by the image operations. Internal to desktop/image.

namespace corvash::image {

// Hides the flash progress page when one is open, shows FEHLER 104 and closes
// the main window.
void ReportImageOpenFailure();

}  // namespace corvash::image
