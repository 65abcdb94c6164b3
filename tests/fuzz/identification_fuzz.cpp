// The identification library's answer as the handheld returns it (three
// UTF-16 fields of 25 units at bytes 0, 50 and 100), taken apart and copied
// into the session's device fields as identification does. Input: the
// answer's bytes, of any length.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "common/fixed_text.h"
#include "common/utf16_text.h"
#include "desktop/handheld/device_identification.h"
#include "desktop/session/update_session.h"

namespace {

using namespace corvash;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

// At most `most` of the handheld's characters (UTF-16 units), no zero.
bool Plain(const std::string& text, size_t most) {
  return common::ToUtf16(text).size() <= most && text.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const handheld::IdentificationAnswer answer = handheld::ParseIdentificationAnswer(std::span(data, size));
  // Fields are cut to 24 characters (UTF-16 units) before they are taken apart.
  constexpr size_t kField = handheld::kAnswerFieldUnits - 1;
  Require(Plain(answer.version, 4), "the version is characters 0-3");
  Require(Plain(answer.langCode, kField), "the language code lies in its field");
  Require(Plain(answer.model, 9), "the model is nine characters at most");
  Require(Plain(answer.variant, 3), "the variant is characters 17-19");

  session::UpdateSession s;
  common::CopyText(s.handheld.deviceVersion, answer.version);
  common::CopyText(s.handheld.deviceLangCode, answer.langCode);
  common::CopyText(s.handheld.deviceModel, answer.model);
  common::CopyText(s.handheld.deviceVariant, answer.variant);
  common::CopyText(s.handheld.identityText, answer.model + answer.variant + answer.langCode + answer.version);
  const std::string_view language = handheld::DeviceLanguageName(answer.langCode);
  if (!language.empty()) common::CopyText(s.handheld.deviceLanguage, language);
  Require(s.handheld.identityText[sizeof s.handheld.identityText - 1] == '\0', "the identity text stays terminated");
  return 0;
}
