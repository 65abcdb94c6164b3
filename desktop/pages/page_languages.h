#pragma once
// The German language names that pages show, found from an English language
// name (deviceLanguage, imageLanguage) or a language code (deviceLangCode),
// compared without regard to case; the first matching row wins.
#include <string>
#include <string_view>

namespace corvash::pages {

// Text id of the German name for an English name; any name that no row
// holds gives "Englisch" (11138).
int LanguageTextByName(std::string_view englishName);
// Text id of the German name for a language code ("eng" gives 11138); 0 for
// a code that no row holds.
int LanguageTextByCode(std::string_view code);

// "Sprache: <German name>" (11044 and the name).
std::string LanguageLineByName(std::string_view englishName);
// The same by code; a code that no row holds is shown as it stands, so that
// the row never names a language the device does not have.
std::string LanguageLineByCode(std::string_view code);

}  // namespace corvash::pages
