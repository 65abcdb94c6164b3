#pragma once
// The files compiled into the library at build time: corvash.rc and the
// bitmap and icon files it names, under the names the script uses.
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvash::resources {

struct EmbeddedFile {
  const char* name;  // "corvash.rc", "bitmaps/157.bmp", ...
  const uint8_t* data;
  size_t size;
};

// Defined in the source that the build generates.
std::span<const EmbeddedFile> EmbeddedFiles();

}  // namespace corvash::resources
