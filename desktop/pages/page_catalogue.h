#pragma once
// Every page and screen of the wizard by its dialog template id. Hosts ask
// for a fresh procedure each time they open a page.
#include <memory>
#include <span>

#include "desktop/pages/page_dialog.h"

namespace corvash::pages {

// The procedure of template `templateId`; nullptr for an id that is no page.
std::unique_ptr<PageProcedure> MakePageProcedure(int templateId);

// Every template id that MakePageProcedure knows, ascending.
std::span<const int> PageTemplateIds();

}  // namespace corvash::pages
