#pragma once
// The flashing workers of the progress page (102), on the page's worker
// thread while the page is the link's watch: the normal run's
// IdentifyAndFlashThread and the recovery run's CheckAndFlashThread. They
// bind the identity read and the flash sequence of the boot-loader link to
// the image checks, and show the screens their outcomes name through the
// run's page host. Every way
// out that is not a completed flash ends the page through its watchdog.
namespace corvash::bootlink {
class LoaderLink;
}
namespace corvash::session {
class PageHost;
struct UpdateSession;
}  // namespace corvash::session

namespace corvash::wiring {

// imageSizeKB from the image found in the program folder, the identity
// read in a command session (FEHLER 116 when it fails), the stored image
// checked against it, the variant compared (FEHLER 100 on a mismatch), then
// the flash sequence.
void IdentifyAndFlashThread(bootlink::LoaderLink& link, session::UpdateSession& run, session::PageHost& pages);

// Recovery run (identity already read): the image header read, model and
// language compared (FEHLER 100 on a mismatch), the bar reset to the image's
// size, a 5000 ms pause, then the flash sequence.
void CheckAndFlashThread(bootlink::LoaderLink& link, session::UpdateSession& run, session::PageHost& pages);

}  // namespace corvash::wiring
