#include "desktop/image/image_checks.h"

#include "desktop/app/update_session.h"
#include "desktop/image/image_header.h"
#include "desktop/pages/page_host.h"
#include "desktop/platform/fixed_text.h"

namespace corvash::image {

using platform::EqualsNoCase;
using platform::TextOf;

uint32_t CheckVariant() {
  const app::UpdateSession& session = app::Session();
  return EqualsNoCase(TextOf(session.deviceVariant), TextOf(session.imageVariant)) ? 1 : 0;
}

uint32_t CheckStoredImage() {
  app::UpdateSession& session = app::Session();
  if (TextOf(session.imagePath).empty()) return 0;
  if (ReadImageHeader(TextOf(session.imagePath)) == 0) {
    app::CloseMainWindow();
    return 0;
  }
  const bool sameModel = EqualsNoCase(TextOf(session.deviceModel), TextOf(session.imageModel));
  const bool sameLanguage = EqualsNoCase(TextOf(session.deviceLangCode), TextOf(session.imageLangCode));
  if (sameModel && sameLanguage) return 1;
  if (session.recoveryMode.load() != 0) return 0;
  if (sameModel) session.languageMismatch = 1;
  else session.modelMismatch = 1;
  pages::RunPage(kIncompatibleImageDialog);
  app::CloseMainWindow();
  return 0;
}

}  // namespace corvash::image
