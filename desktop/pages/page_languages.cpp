#include "desktop/pages/page_languages.h"

#include "desktop/pages/page_support.h"
#include "common/fixed_text.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {


struct LanguageRow {
  std::string_view name;
  std::string_view code;
  int textId;
};

constexpr LanguageRow kLanguages[] = {
    {"Japanese", "Jpn", kTextJapanese}, {"french", "fre", kTextFrench},   {"german", "ger", kTextGerman},
    {"italian", "ita", kTextItalian},  {"spanish", "spa", kTextSpanish},  {"Portuguese", "Por", kTextPortuguese},
    {"TChinese", "cht", kTextTraditionalChinese}, {"SChinese", "chs", kTextSimplifiedChinese},
};

}  // namespace

int LanguageTextByName(std::string_view englishName) {
  for (const LanguageRow& row : kLanguages) {
    if (common::EqualsNoCase(englishName, row.name)) return row.textId;
  }
  return kTextEnglish;
}

int LanguageTextByCode(std::string_view code) {
  for (const LanguageRow& row : kLanguages) {
    if (common::EqualsNoCase(code, row.code)) return row.textId;
  }
  return common::EqualsNoCase(code, "eng") ? kTextEnglish : 0;
}

std::string LanguageLineByName(std::string_view englishName) {
  return LabelValue(PageText(kTextLanguageLabel), PageText(LanguageTextByName(englishName)));
}

std::string LanguageLineByCode(std::string_view code) {
  const int textId = LanguageTextByCode(code);
  return LabelValue(PageText(kTextLanguageLabel), textId != 0 ? PageText(textId) : code);
}

}  // namespace corvash::pages
