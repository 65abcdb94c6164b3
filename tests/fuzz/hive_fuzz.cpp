// A REGEDIT4 hive file as it lies in the prefix, written by anyone. Input:
// the file's text.
//
// Besides not failing on any text: what a hive writes it reads back the
// same, so a second save of a loaded hive changes nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/hive.h"

namespace {

using corvash::common::Hive;

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz property broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // user.reg and system.reg.
  for (const char* root : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
    const Hive hive = Hive::Parse(text, root);
    const std::string written = hive.Serialize();
    const Hive again = Hive::Parse(written, root);
    Require(again.Serialize() == written, "a written hive reads back the same");
  }
  return 0;
}
