#pragma once
// The checks of an image before anything goes to the flash: its header,
// size and checksum, then its model, language and variant against the
// handheld's identity, with the wizard's own rules.
#include <cstdint>
#include <string>

#include "desktop/session/update_session.h"

namespace corvash::flashcli {

struct GateResult {
  int code = 0;        // an exit code: 0 passed
  std::string cause;   // the failure, for the one stderr line
  uint64_t body = 0;   // bytes after the header (CheckImageFile)
};

// Reads the header of the image at `path` (made absolute, as the record
// keeps it) into `image`, checks that a ROM follows the header and fits the
// boot loader's addresses, and checks the sum. Any thread.
GateResult CheckImageFile(const std::string& path, session::ChosenImage& image);

// Model, language and variant of `image` against `handheld`.
GateResult CheckAgainstHandheld(session::ChosenImage& image, const session::HandheldIdentity& handheld);

}  // namespace corvash::flashcli
