#pragma once
#include "desktop/session/page_ids.h"
// Finding the update image beside the program, and the size of image files.
//
// The search rule, shared by FindImageInProgramDir and FirstImageSize: the
// entries of programDir in the order in which the file system lists them;
// folders are skipped (and so are pipes, sockets and devices, which no image
// can be); the first entry whose name ends in the letters "nbf", without
// regard to case and with or without a dot before them, wins. An entry whose
// full path would not fit the 260-byte path fields is passed over, since a
// cut path would name another file.
//
// FindImageInProgramDir() -> 1 with imagePath and foundImagePath set to
//   programDir + "/" + name. 0 when the folder cannot be listed or holds no
//   image: FEHLER 103 (dialog 140) is shown and the main window closed.
//
// FirstImageSize() -> the size in bytes of the entry the same rule finds, 0
//   when there is none. No screen. Sizes of 4 GiB and more give 0xFFFFFFFF,
//   here and in ImageFileSize: cut to 32 bits they would pass for small ones.
//
// ImageFileSize(path) -> the file's size in bytes. When the
//   file cannot be opened or sized: the remote API session is shut down
//   (CeRapiUninit), FEHLER 104 (dialog 141) is shown, the main window closed, and 0
//   returned.
//
// Any thread; the screens go through the page host.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvash::image {

// Dialog of FEHLER 103 (image not found).
inline constexpr int kImageNotFoundDialog = pages::kScreenImageNotFound;

struct FoundImage {
  std::string path;  // folder + "/" + name
  uint64_t size = 0;
};

// The first image in `folder` by the search rule; nullopt when the folder
// cannot be listed or holds none.
std::optional<FoundImage> FindFirstImage(std::string_view folder);

// Whether a folder entry's name counts as an image name.
bool HasImageName(std::string_view name);

uint32_t FindImageInProgramDir();
uint32_t FirstImageSize();
uint32_t ImageFileSize(std::string_view path);

}  // namespace corvash::image
