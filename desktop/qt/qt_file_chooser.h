#pragma once
// The open and save file choosers of the program: Qt's file dialog on the
// GUI thread, or the autopilot's answers.
#include "desktop/image/file_chooser.h"

namespace corvash::automation {
class Autopilot;
}

namespace corvash::qt {

class QtPageHost;

// QFileDialog, modal, run on the GUI thread whatever thread asks; blocks the
// caller until the user has answered. A save dialog adds the default
// extension to a name typed without one and never asks before replacing a
// file (the caller does, with its own screen).
class QtFileChooser final : public image::FileChooser {
 public:
  explicit QtFileChooser(QtPageHost& host) : host_(host) {}
  std::optional<std::string> Open(const image::FileDialogRequest& request) override;
  std::optional<std::string> Save(const image::FileDialogRequest& request) override;

 private:
  std::optional<std::string> Run(const image::FileDialogRequest& request, bool save);
  QtPageHost& host_;
};

// Answers each dialog with the script's next `file` step.
class AutopilotFileChooser final : public image::FileChooser {
 public:
  explicit AutopilotFileChooser(automation::Autopilot& autopilot) : autopilot_(autopilot) {}
  std::optional<std::string> Open(const image::FileDialogRequest& request) override;
  std::optional<std::string> Save(const image::FileDialogRequest& request) override;

 private:
  automation::Autopilot& autopilot_;
};

}  // namespace corvash::qt
