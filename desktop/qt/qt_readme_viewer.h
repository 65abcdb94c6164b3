#pragma once
// OpenReadme on the Linux desktop: readme.doc of the program folder
// (programDir) in the desktop's default viewer (xdg-open), started detached
// and not waited for. A missing viewer or file is ignored (a viewer that
// does not start is traced): the welcome page stays as it is either way.
#include "desktop/pages/page_services.h"

namespace corvash::qt {

class DesktopReadmeViewer final : public pages::ReadmeViewer {
 public:
  void OpenReadme() override;
};

}  // namespace corvash::qt
