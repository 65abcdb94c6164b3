#pragma once
// OpenReadme on the Linux desktop: readme.doc of the program folder
// (programDir) in the desktop's default viewer (xdg-open), started detached
// and not waited for. A missing viewer or file is ignored (a viewer that
// does not start is traced): the welcome page stays as it is either way.
#include "desktop/pages/page_services.h"
#include "desktop/session/update_session.h"

namespace corvash::qt {

class DesktopReadmeViewer final : public pages::ReadmeViewer {
 public:
  // `paths` must outlive the viewer.
  explicit DesktopReadmeViewer(const session::RunPaths& paths) : paths_(paths) {}
  void OpenReadme() override;

 private:
  const session::RunPaths& paths_;
};

}  // namespace corvash::qt
