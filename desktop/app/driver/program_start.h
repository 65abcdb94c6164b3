#pragma once
// The start of the desktop program, after its page host exists. The Qt main
// (or a test) calls RunProgram on the wizard thread while its own thread
// serves the pages; the program ends when RunProgram returns.
#include "desktop/app/driver/wizard_operations.h"

namespace corvash::session {
class PageHost;
}

namespace corvash::driver {

// Runs the program once: returns 0 at once, showing nothing, while another
// instance holds the prefix's instance lock; otherwise loads the page texts,
// sets serialLink of `run` to 1, opens the main window and runs the wizard
// to its end, its pages opened by `pageHost`. The exit code is 0, except
// when the lock file cannot be used at all (a folder, unwritable): then 2,
// with one line on standard error, and nothing is shown.
int RunProgram(session::PageHost& pageHost, session::UpdateSession& run, PageTexts& pageTexts,
               const WizardOperations& operations);

// The same with nothing linked behind the operations and the text table.
int RunProgram(session::PageHost& pageHost, session::UpdateSession& run);

}  // namespace corvash::driver
