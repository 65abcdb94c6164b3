# cmake -DSOURCE_DIR=dir -DFILES="a;b" -DOUTPUT=file.cpp -P embed_files.cmake
# Writes a C++ source holding the bytes of FILES (paths relative to
# SOURCE_DIR, and the names under which EmbeddedFiles() lists them).
set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS FILES)
  file(READ "${SOURCE_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const uint8_t kFile${index}[] = {\n${bytes}0};\n\n")
  string(APPEND entries "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
set(text "// Generated at build time from the resource files; edit those instead.
#include <cstdint>

#include \"desktop/resources/embedded_files.h\"

namespace corvash::resources {
namespace {

${arrays}const EmbeddedFile kFiles[] = {
${entries}};

}  // namespace

std::span<const EmbeddedFile> EmbeddedFiles() { return kFiles; }

}  // namespace corvash::resources
")
file(WRITE "${OUTPUT}" "${text}")
