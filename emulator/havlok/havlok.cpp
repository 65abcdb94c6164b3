// Havlok.dll's export: the handheld tells who it is. No input; the output
// is three UTF-16 fields of 25 code units, each zero-terminated:
//
//   byte   0  version   "2.04 -- ENG": version in characters 0-3, language from 8
//   byte  50  model     "USB    Quor K5210NBT": characters 7-10, 11 and 13-16
//                       give "Quor 5210" (the model letter K at 12 is dropped),
//                       17-19 the variant; the first seven name the link:
//                       "Serial " on a COM port, "USB    " on the USB device
//   byte 100  size      the flash size in MiB, decimal ("32")
//
// Variant, language and version are those of the identity record the flash
// holds (the current slot of the reserve area, which a flash rewrites), or
// handheld.conf's when the flash holds none; flash_mb and port (the
// emulator's port name, USB when absent) come from handheld.conf.
// Returns 0 with the output allocated by DeviceLocalAlloc; a negative status
// and no output when there is no state folder or handheld.conf lacks a value.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <optional>
#include <string>
#include <type_traits>

#include "common/device_extension.h"
#include "common/flash_layout.h"
#include "common/handheld_folder.h"
#include "common/utf16_text.h"

namespace {

using corvash::common::Folder;

constexpr size_t kFieldUnits = 25;
constexpr size_t kFieldBytes = 2 * kFieldUnits;
constexpr size_t kAnswerBytes = 3 * kFieldBytes;
constexpr int32_t kFailure = static_cast<int32_t>(0x80004005u);

struct Identity {
  std::string variant, language, version, flashMb, port;
};

// The text of the reserve area's current slot (the last used one), read
// from the flash file; empty when there is none.
std::string RecordInFlash(const Folder& folder) {
  namespace common = corvash::common;
  const int fd = ::open(folder.FlashPath().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::array<uint8_t, common::kSlotLength> current{};
  bool found = false;
  for (uint32_t slot = common::kReserveArea.first; slot <= common::kReserveArea.lastStart; slot += common::kSlotLength) {
    std::array<uint8_t, common::kSlotLength> bytes{};
    if (::pread(fd, bytes.data(), bytes.size(), slot - common::kFlashBase) != static_cast<ssize_t>(bytes.size())) break;
    if (bytes[0] == 0xFF && bytes[1] == 0xFF && bytes[2] == 0xFF && bytes[3] == 0xFF) break;
    current = bytes;
    found = true;
  }
  ::close(fd);
  if (!found) return {};
  return corvash::common::FromUtf16(corvash::common::ReadUtf16Field(current, common::kSlotLength / 2));
}

std::optional<Identity> ReadIdentity(const Folder& folder) {
  const auto variant = folder.ConfigValue("variant");
  const auto language = folder.ConfigValue("language");
  const auto version = folder.ConfigValue("version");
  const auto flashMb = folder.ConfigValue("flash_mb");
  if (!variant || !language || !version || !flashMb) return std::nullopt;
  Identity identity{*variant, *language, *version, *flashMb, folder.ConfigValue("port").value_or("wceusbsh001")};
  // "Quor 5210" + variant + language + version, as the reserved-area writer keeps it.
  const std::string record = RecordInFlash(folder);
  const size_t model = corvash::common::kModelName.size();
  if (record.size() == model + 10 && record.compare(0, model, corvash::common::kModelName) == 0) {
    identity.variant = record.substr(model, 3);
    identity.language = record.substr(model + 3, 3);
    identity.version = record.substr(model + 6, 4);
  }
  return identity;
}

// `text` cut or padded with blanks to exactly `width` characters.
std::string Fixed(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

bool IsComPort(const std::string& port) {
  return port.size() >= 3 && (port[0] | 0x20) == 'c' && (port[1] | 0x20) == 'o' && (port[2] | 0x20) == 'm';
}

void PutField(uint8_t* answer, size_t index, const std::string& text) {
  corvash::common::WriteUtf16Field({answer + index * kFieldBytes, kFieldBytes}, corvash::common::ToUtf16(text));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Havlok(uint32_t /*cbInput*/, uint8_t* /*pInput*/,
                                                                uint32_t* pcbOutput, uint8_t** ppOutput,
                                                                void* /*pStream*/) {
  const auto folder = Folder::FromEnvironment();
  const auto identity = folder ? ReadIdentity(*folder) : std::nullopt;
  if (!identity || pcbOutput == nullptr || ppOutput == nullptr) return kFailure;
  uint8_t* answer = corvash::common::DeviceLocalAlloc(kAnswerBytes);
  if (answer == nullptr) return kFailure;
  PutField(answer, 0, Fixed(identity->version, 4) + " -- " + identity->language);
  PutField(answer, 1, (IsComPort(identity->port) ? "Serial " : "USB    ") + std::string("Quor K5210") +
                          Fixed(identity->variant, 3));
  PutField(answer, 2, identity->flashMb);
  *pcbOutput = kAnswerBytes;
  *ppOutput = answer;
  return 0;
}

static_assert(std::is_same_v<decltype(&Havlok), DeviceExtensionFunction>);
