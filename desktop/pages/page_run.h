#pragma once
// The run a page belongs to: the values it shows and sets, and the host that
// opens the screens the page raises over itself. Both outlive every page of
// the run and every worker such a page starts.
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"

namespace corvash::pages {

struct PageRun {
  session::UpdateSession& values;
  session::PageHost& host;
};

}  // namespace corvash::pages
