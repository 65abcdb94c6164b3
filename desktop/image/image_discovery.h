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
// FindImageInProgramDir(paths, image) -> kOk with imagePath and
//   foundImagePath set to programDir + "/" + name. kNoImage when the folder
//   cannot be listed or holds no image (the caller shows FEHLER 103, dialog
//   140, and ends the run).
//
// FirstImageSize(paths) -> the size in bytes of the entry the same rule
//   finds, 0 when there is none. Sizes of 4 GiB and more give 0xFFFFFFFF,
//   here and in ImageFileSize: cut to 32 bits they would pass for small ones.
//
// ImageFileSize(path) -> the file's size in bytes; nullopt when the file
//   cannot be opened or sized (the caller ends the remote API session and
//   shows FEHLER 104).
//
// No screen; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "desktop/image/image_outcome.h"
#include "desktop/session/update_session.h"

namespace corvash::image {

// Dialog of FEHLER 103 (image not found).
inline constexpr int kImageNotFoundDialog = session::kScreenImageNotFound;

struct FoundImage {
  std::string path;  // folder + "/" + name
  uint64_t size = 0;
};

// The first image in `folder` by the search rule; nullopt when the folder
// cannot be listed or holds none.
std::optional<FoundImage> FindFirstImage(std::string_view folder);

// Whether a folder entry's name counts as an image name.
bool HasImageName(std::string_view name);

ImageOutcome FindImageInProgramDir(const session::RunPaths& paths, session::ChosenImage& image);
uint32_t FirstImageSize(const session::RunPaths& paths);
std::optional<uint32_t> ImageFileSize(std::string_view path);

}  // namespace corvash::image
