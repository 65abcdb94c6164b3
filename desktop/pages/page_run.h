#pragma once
// The run a page belongs to: the values it shows and sets, the host that
// opens the screens the page raises over itself, and what the run's pages
// share with the workers they start. All three outlive every page of the run
// and every worker such a page starts.
#include "desktop/pages/page_watches.h"
#include "desktop/session/page_host.h"
#include "desktop/session/update_session.h"

namespace corvash::pages {

struct PageRun {
  session::UpdateSession& values;
  session::PageHost& host;
  PageWatches& watches;
};

}  // namespace corvash::pages
