#pragma once
// The image language table: the language code of an image header ("ENG",
// "POT", ...) and the English name that the session keeps in imageLanguage.
// This table is the image's own; the device and the pages keep theirs.
//
//   ImageLanguageName(code) -> the English name, or an empty view when the
//   code is not in the table (codes are compared without regard to case).
//   Pure; any thread.
#include <string_view>

namespace corvash::common {

struct ImageLanguage {
  std::string_view code;
  std::string_view name;
};

// The rows in their order.
inline constexpr ImageLanguage kImageLanguages[] = {
    {"ENG", "English"},    {"JPN", "Japanese"},   {"FRE", "French"},   {"GER", "German"},
    {"ITA", "Italian"},    {"SPA", "Spanish"},    {"PTB", "Portuguese"}, {"POT", "Portuguese"},
    {"CHT", "TChinese"},   {"CHS", "SChinese"},
};

std::string_view ImageLanguageName(std::string_view code);

}  // namespace corvash::common
