#include "desktop/image/image_checks.h"

#include "desktop/session/update_session.h"
#include "desktop/image/image_header.h"
#include "desktop/session/page_host.h"
#include "common/fixed_text.h"

namespace corvash::image {

using platform::EqualsNoCase;
using platform::TextOf;

uint32_t CheckVariant() {
  const session::UpdateSession& session = session::Session();
  return EqualsNoCase(TextOf(session.handheld.deviceVariant), TextOf(session.image.imageVariant)) ? 1 : 0;
}

uint32_t CheckStoredImage() {
  session::UpdateSession& session = session::Session();
  if (TextOf(session.image.imagePath).empty()) return 0;
  if (ReadImageHeader(TextOf(session.image.imagePath)) == 0) {
    session::CloseMainWindow();
    return 0;
  }
  const bool sameModel = EqualsNoCase(TextOf(session.handheld.deviceModel), TextOf(session.image.imageModel));
  const bool sameLanguage = EqualsNoCase(TextOf(session.handheld.deviceLangCode), TextOf(session.image.imageLangCode));
  if (sameModel && sameLanguage) return 1;
  if (session.flow.recoveryMode.load() != 0) return 0;
  if (sameModel) session.flow.languageMismatch = 1;
  else session.flow.modelMismatch = 1;
  pages::RunPage(kIncompatibleImageDialog);
  session::CloseMainWindow();
  return 0;
}

}  // namespace corvash::image
