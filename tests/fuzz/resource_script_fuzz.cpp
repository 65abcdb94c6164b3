// A resource script (the text of corvash.rc) read by the program's own
// reader, and its texts cut into page buffers as the text table does.
// Input: the script's text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "desktop/resources/resource_script.h"
#include "desktop/resources/text_table.h"

namespace {

using namespace corvash::resources;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ResourceScript script = ResourceScript::Parse(text);
  for (int id : script.DialogIds()) {
    const DialogTemplate* dialog = script.Dialog(id);
    Require(dialog != nullptr, "every listed dialog is found");
    for (const DialogControl& control : dialog->controls) {
      Require(control.x >= -32768 && control.x <= 32767 && control.cx >= -32768 && control.cx <= 32767,
              "coordinates are dialog units");
      (void)dialog->Control(control.id);
    }
  }
  char buffer[64];
  for (int id : script.StringIds()) {
    const std::string value = script.String(id);
    const size_t copied = CopyTextCut(buffer, sizeof buffer, value);
    Require(copied < sizeof buffer && buffer[copied] == '\0' && std::memcmp(buffer, value.data(), copied) == 0,
            "a page text is cut into its buffer");
  }
  return 0;
}
