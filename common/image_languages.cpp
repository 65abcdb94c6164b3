#include "common/image_languages.h"

#include "common/fixed_text.h"

namespace corvash::common {

std::string_view ImageLanguageName(std::string_view code) {
  for (const ImageLanguage& row : kImageLanguages) {
    if (EqualsNoCase(row.code, code)) return row.name;
  }
  return {};
}

}  // namespace corvash::common
