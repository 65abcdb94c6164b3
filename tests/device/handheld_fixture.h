#pragma once
// A handheld state folder of its own for each test, named in K5210_STATE:
// handheld.conf, a flash.bin of 48 MiB (sparse; the identity areas erased to
// 0xFF, which is all the libraries touch), files/Windows and files/Temp.
// Device libraries are loaded from their built files, as the handheld loads
// them, and called through the extension signature.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/device_extension.h"
#include "common/flash_layout.h"
#include "common/handheld_folder.h"

namespace corvash::device::test {

// A loaded device library and its export.
class DeviceLibrary {
 public:
  DeviceLibrary(const char* path, const char* exportName) {
    handle_ = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) function_ = reinterpret_cast<DeviceExtensionFunction>(::dlsym(handle_, exportName));
  }
  ~DeviceLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  DeviceLibrary(const DeviceLibrary&) = delete;
  DeviceLibrary& operator=(const DeviceLibrary&) = delete;
  DeviceExtensionFunction function() const { return function_; }

 private:
  void* handle_ = nullptr;
  DeviceExtensionFunction function_ = nullptr;
};

// What one call of an export gave back. The output is freed as the
// remote-API layer frees it.
struct CallResult {
  int32_t status = 0;
  bool outputSet = false;
  std::vector<uint8_t> output;
};

inline CallResult Call(DeviceExtensionFunction function, std::vector<uint8_t> input) {
  uint32_t size = 0xDEADu;
  uint8_t* output = nullptr;
  CallResult result;
  result.status = function(static_cast<uint32_t>(input.size()), input.empty() ? nullptr : input.data(), &size,
                           &output, nullptr);
  if (output != nullptr) {
    result.outputSet = true;
    result.output.assign(output, output + size);
    common::DeviceLocalFree(output);
  }
  return result;
}

class HandheldFixture : public ::testing::Test {
 protected:
  static constexpr size_t kFlashBytes = 48u << 20;

  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "devXXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directories(dir_ / "files" / "Windows");
    std::filesystem::create_directories(dir_ / "files" / "Temp");
    WriteConfig({{"variant", "NBT"}, {"language", "ENG"}, {"version", "2.04"}, {"flash_mb", "32"}});
    const int fd = ::open(FlashPath().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kFlashBytes), 0);
    ::close(fd);
    for (const auto& area : {common::kReserveArea, common::kWbtAssetArea, common::kNbtAssetArea}) {
      Store(area.first, std::vector<uint8_t>(area.End() - area.first, common::kErasedByte));
    }
    ASSERT_EQ(::setenv(common::kStateVariable, dir_.c_str(), 1), 0);
  }

  void TearDown() override {
    ::unsetenv(common::kStateVariable);
    std::error_code code;
    std::filesystem::remove_all(dir_, code);
  }

  const std::filesystem::path& Dir() const { return dir_; }
  std::filesystem::path FlashPath() const { return dir_ / "flash.bin"; }

  void WriteConfig(const std::map<std::string, std::string>& values) {
    std::ofstream out(dir_ / "handheld.conf", std::ios::trunc);
    for (const auto& [key, value] : values) out << key << "=" << value << "\n";
  }

  // Puts bytes into flash.bin as they are (as the emulator's loader does).
  void Store(uint32_t address, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(FlashPath().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), address - common::kFlashBase),
              static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }

  std::vector<uint8_t> Flash(uint32_t address, size_t length) const {
    std::vector<uint8_t> bytes(length);
    const int fd = ::open(FlashPath().c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::pread(fd, bytes.data(), length, address - common::kFlashBase), static_cast<ssize_t>(length));
    ::close(fd);
    return bytes;
  }

  std::string DebugLog() const {
    std::ifstream in(dir_ / "debug.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path dir_;
};

// UTF-16LE bytes of an ASCII text, without a terminator.
inline std::vector<uint8_t> Utf16(std::string_view text) {
  std::vector<uint8_t> bytes;
  for (char c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

}  // namespace corvash::device::test
