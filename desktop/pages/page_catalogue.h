#pragma once
// Every page and screen of the wizard by its dialog template id. Hosts ask
// for a fresh procedure each time they open a page, with the services the
// program was started with and the run the page belongs to; each page gets
// the parts of them it uses.
#include <memory>
#include <span>

#include "desktop/pages/page_dialog.h"
#include "desktop/pages/page_run.h"
#include "desktop/pages/page_services.h"

namespace corvash::pages {

// The procedure of template `templateId`, holding the services it uses from
// `services` and the parts of `run` it shows or sets (the objects they refer
// to must outlive it); nullptr for an id that is no page.
std::unique_ptr<PageProcedure> MakePageProcedure(int templateId, const PageServices& services, const PageRun& run);

// Every template id that MakePageProcedure knows, ascending.
std::span<const int> PageTemplateIds();

}  // namespace corvash::pages
