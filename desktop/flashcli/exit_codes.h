#pragma once
// The exit codes of corvash-flash, which scripts rely on.
namespace corvash::flashcli {

enum ExitCode : int {
  kExitDone = 0,
  kExitRefused = 1,      // a check refused the image; nothing was sent to the flash
  kExitUsage = 2,        // usage error, unreadable image, a question that cannot be asked
  kExitNoLoader = 3,     // no boot loader answered
  kExitLinkLost = 4,     // the link was lost or the loader fell silent during the flash
  kExitInterrupted = 130,  // SIGINT or SIGTERM; the link closed, the record stays
};

}  // namespace corvash::flashcli
