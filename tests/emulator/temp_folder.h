#pragma once
// A fresh folder for one test, removed afterwards. Kept short so that a
// control socket path inside it stays within the socket name limit.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvash::emulator::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "emuXXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code code;
    if (!path_.empty()) std::filesystem::remove_all(path_, code);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace corvash::emulator::test
