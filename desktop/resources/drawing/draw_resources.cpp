// draw_resources FOLDER: writes the program's bitmaps and icon under FOLDER
// (FOLDER/bitmaps/157.bmp, ...), as corvash.rc names them.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "desktop/resources/drawing/pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: draw_resources FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  for (const auto& [name, bytes] : corvash::resources::drawing::AllPictures()) {
    const std::filesystem::path path = folder / name;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "draw_resources: cannot write " << path << "\n";
      return 1;
    }
  }
  return 0;
}
