#include "desktop/handheld/device_identification.h"

#include <cstdlib>
#include <vector>

#include "common/fixed_text.h"
#include "common/flash_layout.h"
#include "common/utf16_text.h"
#include "desktop/handheld/device_files.h"
#include "desktop/handheld/library_invocations.h"
#include "desktop/handheld/remote_session.h"
#include "desktop/platform/trace.h"
#include "desktop/session/page_ids.h"

namespace corvash::handheld {
namespace {

constexpr std::string_view kLibrary = "Havlok.dll";
constexpr size_t kVersionFieldAt = 0;
constexpr size_t kModelFieldAt = 50;
constexpr size_t kSizeFieldAt = 100;

struct DeviceLanguage {
  std::string_view code;
  std::string_view name;
};
constexpr DeviceLanguage kDeviceLanguages[] = {
    {"ENG", "English"}, {"JPN", "Japanese"}, {"FRE", "French"},   {"GER", "German"},
    {"ITA", "Italian"}, {"SPA", "Spanish"},  {"CHT", "TChinese"}, {"CHS", "SChinese"},
};

// One field as the handheld sends it: at most 24 characters, counted in
// UTF-16 units so that the positions below are the handheld's.
std::u16string Field(std::span<const uint8_t> answer, size_t at) {
  const std::span<const uint8_t> rest = at < answer.size() ? answer.subspan(at) : std::span<const uint8_t>();
  return common::ReadUtf16Field(rest, kAnswerFieldUnits - 1);
}

// The characters of `field` at `from` .. `to` (inclusive) that exist, as text.
std::string Chars(const std::u16string& field, size_t from, size_t to = std::u16string::npos) {
  if (from >= field.size()) return {};
  const size_t last = std::min(to, field.size() - 1);
  return common::FromUtf16(field.substr(from, last - from + 1));
}

// The field read as a decimal number reads it: leading blanks and a sign
// taken, the digits up to the first other character.
uint8_t DecimalByte(const std::string& text) {
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  return static_cast<uint8_t>(value & 0xFF);
}

void TakeAnswer(const IdentificationAnswer& answer, session::HandheldIdentity& identity) {
  common::CopyText(identity.deviceVersion, answer.version);
  common::CopyText(identity.deviceLangCode, answer.langCode);
  common::CopyText(identity.deviceModel, answer.model);
  common::CopyText(identity.deviceVariant, answer.variant);
}

}  // namespace

std::string_view DeviceLanguageName(std::string_view code) {
  for (const DeviceLanguage& row : kDeviceLanguages) {
    if (common::EqualsNoCase(row.code, code)) return row.name;
  }
  return {};
}

IdentificationAnswer ParseIdentificationAnswer(std::span<const uint8_t> answer) {
  IdentificationAnswer parsed;
  const std::u16string version = Field(answer, kVersionFieldAt);
  const std::u16string model = Field(answer, kModelFieldAt);
  parsed.version = Chars(version, 0, 3);
  parsed.langCode = Chars(version, 8);
  parsed.serialLink = model.find(u"Ser") != std::u16string::npos;
  parsed.model = Chars(model, 7, 11) + Chars(model, 13, 16);
  parsed.variant = Chars(model, 17, 19);
  parsed.flashSizeMB = DecimalByte(Chars(Field(answer, kSizeFieldAt), 0));
  return parsed;
}

Identification IdentifyDevice(RemoteSession& remote, std::string_view programDir, session::HandheldIdentity& identity,
                              const std::function<uint32_t()>& firstImageSize) {
  Identification found;
  if (!remote.StartOnce()) return found;
  const std::string library(kLibrary);
  if (CopyFileToDevice(remote.Api(), ProgramFilePath(programDir, library),
                       common::ToUtf16(std::string(kDeviceWindowsDir) + library)) == 0) {
    return found;
  }
  std::vector<uint8_t> output;
  if (remote.Api().CeRapiInvoke(common::ToUtf16(library), u"Havlok", {}, output) < 0) return found;
  const IdentificationAnswer answer = ParseIdentificationAnswer(output);

  TakeAnswer(answer, identity);
  found.answered = true;
  found.serialLink = answer.serialLink;
  if (!common::EqualsNoCase(answer.model, common::kModelName)) {
    platform::TraceF("\r\n IdentifyDevice: model \"%s\" is not supported\r\n", answer.model.c_str());
    remote.End();
    found.screen = session::kScreenInvalidModel;
    return found;
  }
  common::CopyText(identity.identityText, answer.model + answer.variant + answer.langCode + answer.version);
  if (const std::string_view name = DeviceLanguageName(answer.langCode); !name.empty()) {
    common::CopyText(identity.deviceLanguage, name);
    found.imageSizeKB = (firstImageSize ? firstImageSize() : 0) >> 10;
  }
  identity.flashSizeMB = answer.flashSizeMB;
  remote.End();
  InvokeWriteArea(remote, programDir, common::TextOf(identity.identityText));
  found.identified = true;
  return found;
}

}  // namespace corvash::handheld
